/* tests/log/task_log_test.cpp - the results log of a scheduled run.
 *
 * A fixed event list and a fixed clock must give exactly the document written
 * by hand in tests/data/log/results_log_golden.html (layout, spacing, colours,
 * escaping of outside texts).  Around it: the document's name and folder, the
 * result table for a failure, the empty event list, and the cases in which
 * nothing may be written.
 */
#include <gtest/gtest.h>

#include <filesystem>

#include "core/operation_record.h"
#include "core/strings.h"
#include "log/task_log.h"
#include "../tasks/task_file_util.h"
#include "test_env.h"

namespace {

using tasklog::TaskLog;

std::tm fixed_time() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;  // December
  t.tm_mday = 8;
  t.tm_wday = 2;  // Tuesday
  t.tm_hour = 16;
  t.tm_min = 35;
  t.tm_sec = 42;
  return t;
}

class TaskLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::make_temp_dir("task-log");
    m_log.set_clock(fixed_time);
    m_log.set_current_folder([this] { return m_dir + "/cwd"; });
    std::filesystem::create_directories(m_dir + "/cwd");
    m_record.reset();
    m_record.task_name = "Nightly & <Co>";
    m_record.sched_account = "alice";
    m_record.log_file_name = m_dir + "/run.log";
    m_record.log_enabled = 1;
  }
  void add_golden_events() {
    m_log.add_entry_from_message(core::kIdsEventVerificationOk, "/home/alice/docs/Nightly.task_info.txt");
    m_log.add_start_entry(core::format_string(core::kIdsEventStartingTask, m_record.task_name.c_str()), "");
    m_log.add_entry_from_message(core::kIdsEventFileProcessed, "docs/<img src=x onerror=\"alert(1)\">&more.txt");
  }
  std::string m_dir;
  TaskLog m_log;
  core::OperationRecord m_record;
};

TEST_F(TaskLogTest, DocumentEqualsTheHandWrittenGolden) {
  add_golden_events();
  m_log.take_task(m_record);
  ASSERT_TRUE(m_log.write_log(0));
  const std::string expected_path = m_dir + "/run [Tuesday, December, 08 at 16-35-42].log.html";
  EXPECT_EQ(m_log.document_path(), expected_path);
  ASSERT_TRUE(std::filesystem::exists(expected_path));
  EXPECT_EQ(tasktest::read_bytes(expected_path), tasktest::read_bytes(OSTRANA_TEST_DATA "/log/results_log_golden.html"));
}

TEST_F(TaskLogTest, FailureResultTable) {
  add_golden_events();
  m_log.take_task(m_record);
  ASSERT_TRUE(m_log.write_log(9));
  const std::string doc = tasktest::read_bytes(m_log.document_path());
  EXPECT_NE(doc.find("<TD WIDTH=\"10%\" COLSPAN=\"1\" bgcolor=\"#FF0000\"><FONT size=\"6\" color=\"#FFFFFF\" "
                     "face=\"Arial, Helvetica, sans-serif\">Not Totally Successful.</FONT>\n</TABLE>"),
            std::string::npos);
  EXPECT_EQ(doc.find(">Successful</FONT>"), std::string::npos);
  EXPECT_EQ(doc.find("#00CC66"), std::string::npos);
}

TEST_F(TaskLogTest, EntriesCarryTheirTimes) {
  add_golden_events();
  const auto& entries = m_log.entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].started, 0);
  EXPECT_EQ(entries[0].operation_text, "Command line file verification OK! ");
  EXPECT_EQ(entries[0].event_time, "16:35:42");
  EXPECT_EQ(entries[0].date_time_text, "Tuesday, December 08, 2026 - 16:35:42");
  EXPECT_EQ(entries[1].started, 1);
  EXPECT_EQ(entries[1].event_time, "");
  EXPECT_EQ(entries[1].date_time_text, "Tuesday, December 08, 2026 - 16:35:42");
  // Texts are kept raw; escaping happens when the document is written.
  EXPECT_EQ(entries[2].item_text, "docs/<img src=x onerror=\"alert(1)\">&more.txt");
}

TEST_F(TaskLogTest, LongTextsAreCut) {
  m_log.add_entry(std::string(300, 'o'), std::string(1000, 'i'));
  EXPECT_EQ(m_log.entries()[0].operation_text.size(), 259u);
  EXPECT_EQ(m_log.entries()[0].item_text.size(), 259u);
}

TEST_F(TaskLogTest, NothingWrittenWhenDisabledOrUnnamed) {
  add_golden_events();
  m_record.log_enabled = 0;
  m_log.take_task(m_record);
  EXPECT_FALSE(m_log.write_log(0));
  m_record.log_enabled = 1;
  m_record.log_file_name.clear();
  m_log.take_task(m_record);
  EXPECT_FALSE(m_log.write_log(0));
  EXPECT_TRUE(std::filesystem::is_empty(m_dir + "/cwd"));
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(m_dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 0u);
}

TEST_F(TaskLogTest, NameWithoutFolderLandsInTheCurrentFolder) {
  m_record.log_file_name = "MorvaneInfo.log";
  m_log.take_task(m_record);
  m_log.add_entry("File Processed", "a");
  ASSERT_TRUE(m_log.write_log(0));
  EXPECT_EQ(m_log.document_path(), m_dir + "/cwd/MorvaneInfo [Tuesday, December, 08 at 16-35-42].log.html");
  EXPECT_TRUE(std::filesystem::exists(m_log.document_path()));
}

TEST_F(TaskLogTest, UncreatableDocumentIsQuiet) {
  m_record.log_file_name = m_dir + "/no/such/folder/run.log";
  m_log.take_task(m_record);
  EXPECT_FALSE(m_log.write_log(0));
}

TEST_F(TaskLogTest, EmptyEventListSaysSo) {
  m_log.take_task(m_record);
  ASSERT_TRUE(m_log.write_log(0));
  const std::string doc = tasktest::read_bytes(m_log.document_path());
  EXPECT_NE(doc.find("<TR align=\"LEFT\"><TD  COLSPAN=\"3\" bgcolor=\"#9999FF\"><FONT face=\"Arial\" size=1>"
                     "No Additional LOG Information Collected!</FONT>"),
            std::string::npos);
  EXPECT_NE(doc.find("End Morvane Processing!"), std::string::npos);
}

TEST_F(TaskLogTest, TakeTaskCopiesTheFourFields) {
  m_log.take_task(m_record);
  EXPECT_EQ(m_log.task_name(), "Nightly & <Co>");
  EXPECT_EQ(m_log.account_name(), "alice");
  EXPECT_EQ(m_log.log_file_name(), m_dir + "/run.log");
  EXPECT_EQ(m_log.log_enabled(), 1);
}

TEST(HtmlEscape, EscapesTheFourCharacters) {
  EXPECT_EQ(tasklog::html_escape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c'");
  EXPECT_EQ(tasklog::html_escape("plain"), "plain");
}

}  // namespace
