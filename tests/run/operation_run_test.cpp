/* tests/run/operation_run_test.cpp - the run logic with the real engine, without widgets.
 *
 * Risks: "create new" losing the old archive when the rebuild fails or is
 * stopped, or nesting the old archive in the new one; "delete after" deleting
 * a file the archive does not hold whole, a file changed during the run, or
 * anything outside the originating folder; Stop not reaching the engine; the
 * overwrite answers doing something else than they say; the password question
 * looping or running on after the user declined.
 */
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../bridge/run_files.h"
#include "core/operation_record.h"
#include "core/strings.h"
#include "log/task_log.h"
#include "peer_run.h"
#include "run/operation_run.h"
#include "scoped_env.h"
#include "test_env.h"

namespace {

using namespace run;
using bridgetest::pattern_bytes;
using bridgetest::sample_time;
using bridgetest::write_file_at;
namespace fs = std::filesystem;

/// A presenter that records the lines and answers from queues the test fills.
struct ScriptedPresenter : RunPresenter {
  std::map<RunLine, std::string> lines;
  std::vector<std::pair<std::string, int>> items;
  std::deque<std::optional<std::string>> passwords;
  bool go_on_without_password = false;
  std::deque<OverwriteChoice> overwrite_answers;
  int overwrite_questions = 0;
  std::function<void(const std::string&, int)> on_item;

  void show_line(RunLine line, const std::string& text, bool) override { lines[line] = text; }
  void show_item(const std::string& name, int percent) override {
    items.emplace_back(name, percent);
    if (on_item) on_item(name, percent);
  }
  std::optional<std::string> ask_password() override {
    if (passwords.empty()) return std::nullopt;
    auto next = passwords.front();
    passwords.pop_front();
    return next;
  }
  bool continue_without_password() override { return go_on_without_password; }
  OverwriteChoice ask_overwrite(const bridge::OverwriteInfo&) override {
    ++overwrite_questions;
    if (overwrite_answers.empty()) return {};
    OverwriteChoice c = overwrite_answers.front();
    overwrite_answers.pop_front();
    return c;
  }
};

std::string bytes_of(const std::string& path) {
  const auto v = testenv::read_file(path);
  return std::string(v.begin(), v.end());
}

class OperationRunTest : public ::testing::Test {
 public:  // the table-driven cases arrange the fixture's state themselves
  void SetUp() override {
    m_base = testenv::make_temp_dir("run");
    m_source = m_base + "/src";
    write_file_at(m_source + "/a.txt", pattern_bytes(5000, 1), sample_time(1));
    write_file_at(m_source + "/sub/b.bin", pattern_bytes(120000, 2), sample_time(2));
    m_record.reset();
    m_record.archive_path = m_base + "/out.zip";
    m_record.originating_folder = m_source;
    m_record.file_list = "\"" + m_source + "/*.*\" ";
  }

  /// Runs the whole life of a run as its owner would; returns the completion.
  Completion run_all(RunSeams seams = {}) {
    m_run = std::make_unique<OperationRun>(m_record, m_log, m_presenter, std::move(seams));
    m_run->page_created();
    if (m_run->prepare() != OperationRun::Preparation::kReady) return {};
    m_run->perform();
    return m_run->complete();
  }

  int zip_with_7zz_test(const std::string& archive) {
    return testenv::run_command("7zz t -bso0 -bsp0 " + testenv::shell_quote(archive));
  }

  std::string m_base, m_source;
  core::OperationRecord m_record;
  tasklog::TaskLog m_log;
  ScriptedPresenter m_presenter;
  std::unique_ptr<OperationRun> m_run;
};

// ---- create new ---------------------------------------------------------------------

TEST_F(OperationRunTest, CreateNewReplacesTheOldArchiveOnlyWhenComplete) {
  m_record.run_mode = core::kRunModeCreate;
  m_record.create_new = 1;
  m_record.archive_path = m_source + "/inside.zip";  // the old archive lies in the selected tree
  testenv::write_file(m_record.archive_path, std::vector<uint8_t>{'o', 'l', 'd'});
  const Completion done = run_all();
  EXPECT_EQ(m_run->result(), 0);
  EXPECT_EQ(done.outcome_id, core::kIdsCompletedOk);
  EXPECT_TRUE(done.show_links);
  if (testenv::have_7zz()) {
    EXPECT_EQ(zip_with_7zz_test(m_record.archive_path), 0);
  }
  std::vector<bridge::ArchiveItem> items;
  ASSERT_EQ(bridge::list_archive(nullptr, nullptr, m_record.archive_path.c_str(), &items, nullptr, nullptr), 0);
  for (const auto& item : items) EXPECT_EQ(item.name.indexOf("inside.zip"), -1) << "old archive nested";
  EXPECT_EQ(items.size(), 3u);  // a.txt, sub/, sub/b.bin
  ASSERT_GE(m_log.entries().size(), 1u);
  EXPECT_EQ(m_log.entries()[0].operation_text, core::load_string(core::kIdsEventDeletingPrevious));
  for (const auto& e : fs::directory_iterator(m_source))  // no work file left beside it
    EXPECT_EQ(e.path().filename().string().find(".new-"), std::string::npos) << e.path();
}

TEST_F(OperationRunTest, FailedOrStoppedRebuildLeavesTheOldArchiveByteIdentical) {
  // A file removed between two items is only gone mid-list on one thread: on two, a
  // worker may have read it ahead already, and the archive then holds what it read.
  const testenv::ScopedEnv one_thread("OSTRANA_THREADS", "1");
  struct Case {
    const char* what;
    std::function<void(OperationRunTest&)> spoil;
  };
  const std::vector<Case> cases = {
      {"a source gone mid-list", [](OperationRunTest& t) {
         t.m_presenter.on_item = [&t](const std::string& name, int) {
           if (name.find("a.txt") != std::string::npos) fs::remove(t.m_source + "/sub/b.bin");
         };
       }},
      {"stopped", [](OperationRunTest& t) {
         t.m_presenter.on_item = [&t](const std::string&, int) { t.m_run->request_stop(); };
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    m_record.run_mode = core::kRunModeCreate;
    m_record.create_new = 1;
    const std::string old = bridgetest::stored_archive(m_base, {"keep/me.txt"});
    fs::rename(old, m_record.archive_path);
    const std::string before = bytes_of(m_record.archive_path);
    c.spoil(*this);
    const Completion done = run_all();
    EXPECT_NE(m_run->result(), 0);
    EXPECT_EQ(done.outcome_id, core::kIdsCompletedWithErrors);
    EXPECT_TRUE(bytes_of(m_record.archive_path) == before) << "the old archive changed";
    EXPECT_EQ(m_presenter.lines[RunLine::kNote].rfind("Operation result ", 0), 0u) << "no reason shown";
    EXPECT_EQ(std::distance(fs::directory_iterator(m_base), fs::directory_iterator()), 2);  // src, out.zip
  }
}

// ---- delete after --------------------------------------------------------------------

TEST_F(OperationRunTest, DeleteAfterOnlyAfterAPassedTestAndOnlyUnchangedFiles) {
  // A file removed between two items is only gone mid-list on one thread: on two, a
  // worker may have read it ahead already, and the archive then holds what it read.
  const testenv::ScopedEnv one_thread("OSTRANA_THREADS", "1");
  struct Case {
    const char* what;
    std::function<void(OperationRunTest&, RunSeams&)> arrange;
    bool a_deleted, b_deleted;
  };
  const std::vector<Case> cases = {
      {"test passes", [](OperationRunTest&, RunSeams&) {}, true, true},
      {"archive damaged before its test",
       [](OperationRunTest&, RunSeams& s) {
         const ArchiveTester real = engine_archive_tester(nullptr);
         s.archive_tester = [real](const std::string& archive, std::vector<TestedEntry>* entries) {
           auto bytes = testenv::read_file(archive);
           bytes[bytes.size() / 2] ^= 0x55;  // inside the large entry's data
           testenv::write_file(archive, bytes);
           return real(archive, entries);
         };
       },
       false, false},
      {"a file touched during the run",
       [](OperationRunTest& t, RunSeams&) {
         t.m_presenter.on_item = [&t](const std::string& name, int percent) {
           if (percent == 100 && name.find("a.txt") != std::string::npos)
             write_file_at(t.m_source + "/a.txt", pattern_bytes(5000, 9), sample_time(9));
         };
       },
       false, true},
      {"result other than 0",
       [](OperationRunTest& t, RunSeams&) {
         t.m_presenter.on_item = [&t](const std::string& name, int) {
           if (name.find("a.txt") != std::string::npos) fs::remove(t.m_source + "/sub/b.bin");
         };
       },
       false, true},  // b.bin is gone by the test's hand, a.txt must stay
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    m_record.run_mode = core::kRunModeCreate;
    m_record.delete_after = 1;
    RunSeams seams;
    c.arrange(*this, seams);
    const Completion done = run_all(std::move(seams));
    EXPECT_EQ(fs::exists(m_source + "/a.txt"), !c.a_deleted);
    EXPECT_EQ(fs::exists(m_source + "/sub/b.bin"), !c.b_deleted);
    if (m_run->result() == 0 && c.a_deleted != c.b_deleted) {
      EXPECT_FALSE(m_presenter.lines[RunLine::kNote].empty());
    }
    if (!c.a_deleted && !c.b_deleted && m_run->result() == 0) {
      EXPECT_NE(done.deletion.test_result, 0);
    }
  }
}

TEST(ProcessedFilePath, NeverOutsideTheOriginatingTree) {
  struct Case {
    const char* folder;
    const char* name;
    const char* path;
  };
  const Case cases[] = {
      {"/home/u/docs", "home/u/docs/a.txt", "/home/u/docs/a.txt"},
      {"/home/u/docs/", "home/u/docs/sub/b", "/home/u/docs/sub/b"},
      {"/home/u/docs", "home/u/docs/../x", ""},
      {"/home/u/docs", "home/u/other/a.txt", ""},
      {"/home/u/docs", "home/u/docsmore/a.txt", ""},
      {"/", "etc/x", "/etc/x"},
      {"", "a.txt", "a.txt"},
      {"", "../a.txt", ""},
      {"/home/u", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(processed_file_path(c.folder, c.name), c.path) << c.folder << " " << c.name;
}

// ---- progress and Stop ---------------------------------------------------------------

TEST_F(OperationRunTest, StopEndsTheRunWithTheEngineCancelAndTheCounterCountsItems) {
  m_record.run_mode = core::kRunModeCreate;
  write_file_at(m_source + "/big.bin", pattern_bytes(6 << 20, 3), sample_time(3));  // several progress polls
  m_presenter.on_item = [this](const std::string& name, int percent) {
    if (name.find("big.bin") != std::string::npos && percent >= 20) m_run->request_stop();
  };
  const Completion done = run_all();
  EXPECT_EQ(m_run->result(), 9);
  EXPECT_EQ(done.outcome_id, core::kIdsCompletedWithErrors);
  EXPECT_FALSE(fs::exists(m_record.archive_path));
  EXPECT_FALSE(done.show_links);  // nothing to mail or open
  EXPECT_LE(m_run->processed_counter(), 3);  // items begun, not the engine's repeated reports
  EXPECT_NE(m_presenter.lines[RunLine::kCounter].find("Operation Stopped!"), std::string::npos);
}

// ---- extraction: destination, overwrite answers --------------------------------------

TEST_F(OperationRunTest, OverwriteAnswersDoWhatTheySay) {
  m_record.run_mode = core::kRunModeCreate;
  run_all();
  ASSERT_EQ(m_run->result(), 0);
  struct Case {
    const char* what;
    std::vector<OverwriteChoice> answers;
    int questions;
    int32_t result;
    const char* renamed;  // a new file beside the existing one
  };
  const std::vector<Case> cases = {
      {"yes", {{bridge::kAnswerYes, ""}, {bridge::kAnswerYes, ""}}, 2, 0, nullptr},
      {"no", {{bridge::kAnswerNo, ""}, {bridge::kAnswerNo, ""}}, 2, 0, nullptr},
      {"all", {{bridge::kAnswerAll, ""}}, 1, 0, nullptr},
      {"rename", {{bridge::kAnswerYes, "renamed.txt"}, {bridge::kAnswerNo, ""}}, 2, 0, "renamed.txt"},
      {"cancel", {{bridge::kAnswerCancel, ""}}, 1, 48, nullptr},
  };
  const std::string dest = m_base + "/dest";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dest);
    write_file_at(dest + m_source + "/a.txt", pattern_bytes(10, 7), sample_time(7));
    write_file_at(dest + m_source + "/sub/b.bin", pattern_bytes(10, 8), sample_time(8));
    m_record.run_mode = core::kRunModeExtract;
    m_record.destination_folder = dest;
    m_presenter = ScriptedPresenter();
    m_presenter.overwrite_answers.assign(c.answers.begin(), c.answers.end());
    const Completion done = run_all();
    EXPECT_EQ(m_run->result(), c.result);
    EXPECT_EQ(m_presenter.overwrite_questions, c.questions);
    // The engine keeps an existing file whatever the answer.
    EXPECT_EQ(testenv::read_file(dest + m_source + "/a.txt"), pattern_bytes(10, 7));
    if (c.renamed) {
      EXPECT_EQ(testenv::read_file(dest + m_source + "/" + c.renamed), pattern_bytes(5000, 1));
    }
    EXPECT_EQ(done.folder_to_open, c.result == 0 ? dest : "");
    if (c.answers.size() == 1 && c.answers[0].answer == bridge::kAnswerAll) {
      // The file after All is not asked about, yet reported as done.
      EXPECT_TRUE(std::any_of(m_presenter.items.begin(), m_presenter.items.end(), [](const auto& item) {
        return item.second == 100 && item.first.find("/sub/b.bin") != std::string::npos;
      })) << ::testing::PrintToString(m_presenter.items);
    }
  }
}

TEST_F(OperationRunTest, ScheduledExtractionUsesTheDefaultFolderAndClosesByItself) {
  m_record.run_mode = core::kRunModeCreate;
  run_all();
  ASSERT_EQ(m_run->result(), 0);
  m_log.clear();
  m_record.run_mode = core::kRunModeScheduled;
  m_record.stored_operation = core::kRunModeExtract;
  m_record.task_name = "Nightly";
  m_record.destination_folder.clear();
  RunSeams seams;
  const std::string fallback = m_base + "/default/";
  seams.default_destination = [fallback](const std::string&) { return fallback; };
  const Completion done = run_all(std::move(seams));
  EXPECT_EQ(m_run->result(), 0);
  EXPECT_EQ(m_record.run_mode, core::kRunModeExtract);
  EXPECT_EQ(done.close_after_ms, OperationRun::kScheduledCloseMs);
  EXPECT_TRUE(done.folder_to_open.empty());
  EXPECT_EQ(testenv::read_file(fallback + m_source + "/sub/b.bin"), pattern_bytes(120000, 2));
  ASSERT_FALSE(m_log.entries().empty());
  EXPECT_EQ(m_log.entries()[0].started, 1);
  EXPECT_EQ(m_log.entries()[0].operation_text, "Starting Morvane 'Nightly'");
  EXPECT_EQ(m_presenter.lines[RunLine::kMonitoring], core::load_string(core::kIdsMonitoringAutomatic));
}

TEST(DefaultExtractionFolder, DesktopAndTheArchiveNameWithoutExtension) {
  const std::string folder = default_extraction_folder("/x/y/Backup.2024.zip");
  EXPECT_EQ(folder.substr(folder.size() - 13), "/Backup.2024/");
  EXPECT_EQ(folder[0], '/');
}

// ---- the password question -----------------------------------------------------------

TEST_F(OperationRunTest, PasswordQuestionRepeatsWhileEmptyAndDeclineCloses) {
  struct Case {
    const char* what;
    std::vector<std::optional<std::string>> typed;
    bool go_on;
    OperationRun::Preparation expected;
    const char* password;
  };
  const std::vector<Case> cases = {
      {"typed after two empty OKs", {"", "", "secret"}, false, OperationRun::Preparation::kReady, "secret"},
      {"cancel, then no", {"", std::nullopt}, false, OperationRun::Preparation::kDeclined, ""},
      {"cancel, then yes", {std::nullopt}, true, OperationRun::Preparation::kReady, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_record.reset();
    m_record.run_mode = core::kRunModeExtract;
    m_record.archive_path = m_base + "/enc.zip";
    m_presenter = ScriptedPresenter();
    m_presenter.passwords.assign(c.typed.begin(), c.typed.end());
    m_presenter.go_on_without_password = c.go_on;
    RunSeams seams;
    seams.has_encrypted_items = [](const std::string&) { return true; };
    OperationRun run(m_record, m_log, m_presenter, seams);
    EXPECT_EQ(run.prepare(), c.expected);
    EXPECT_TRUE(m_presenter.passwords.empty());
    EXPECT_EQ(m_record.session_password, c.password);
    EXPECT_EQ(run.auto_close(), c.expected == OperationRun::Preparation::kDeclined);
  }
}

}  // namespace
