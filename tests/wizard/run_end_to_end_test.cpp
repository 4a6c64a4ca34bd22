/* tests/wizard/run_end_to_end_test.cpp - each operation from the welcome page to "Done", in the real wizard.
 *
 * The program builds its sheet as it does for a user; the walk (run_walk.h)
 * clicks through the pages, the run goes through the real engine, and Done
 * closes the wizard.  What the run leaves is judged by 7-Zip: the archive
 * passes its test and gives back the selected tree, an added archive keeps
 * its old entry, an extraction gives back the tree a peer packed, into a
 * folder that exists (its other files kept) or one that does not yet.  Risks:
 * a page that does not hand its choice on, a run that never ends or ends
 * without "Done", the compression level lost on the way, the wrong folder
 * handed to the file manager.
 */
#include <QTest>
#include <filesystem>

#include "../bridge/run_files.h"
#include "peer_run.h"
#include "platform/qt/mail_program.h"
#include "run_walk.h"
#include "sheet_driver.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using bridgetest::pattern_bytes;
using bridgetest::sample_time;
using bridgetest::write_file_at;

/// Both trees hold the same files with the same bytes and times.
void expect_same_tree(const std::string& expected_root, const std::string& actual_root) {
  const auto expected = bridgetest::tree_of(expected_root);
  const auto actual = bridgetest::tree_of(actual_root);
  ASSERT_EQ(actual.size(), expected.size()) << actual_root;
  for (const auto& [name, facts] : expected) {
    const auto found = actual.find(name);
    ASSERT_NE(found, actual.end()) << name;
    EXPECT_TRUE(found->second.bytes == facts.bytes) << name;
    EXPECT_EQ(found->second.mtime, facts.mtime) << name;
  }
}

int sevenzip(const std::string& arguments) { return testenv::run_command("7zz " + arguments + " -bso0 -bsp0"); }

class RunEndToEnd : public sheettest::SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    if (!testenv::have_7zz()) GTEST_SKIP() << "7zz missing";
    m_base = testenv::make_temp_dir("e2e");
    m_tree = m_base + "/tree";
    write_file_at(m_tree + "/notes.txt", pattern_bytes(40000, 1), sample_time(1));
    write_file_at(m_tree + "/deep/er/data.bin", pattern_bytes(300000, 2), sample_time(2));
    write_file_at(m_tree + "/deep/with space.txt", pattern_bytes(5, 3), sample_time(3));
    m_archive = m_base + "/out.zip";
  }

  /// Starts the program, walks to the run, waits for its end and presses Done (or the link
  /// named @p link).  @return the result.
  int run_through(runwalk::Choice choice, const char* link = nullptr) {
    if (start() == nullptr) return -1;
    choice.archive = QString::fromStdString(m_archive);
    wizard::CTovanelExplWizCallBack* page = runwalk::walk_to_run(*sheet, record, choice);
    if (page == nullptr) {
      ADD_FAILURE() << "the walk stopped on page " << sheet->currentId();
      return -1;
    }
    EXPECT_TRUE(QTest::qWaitFor([page] { return page->completed(); }, 60000));
    EXPECT_EQ(button(QWizard::FinishButton)->text(), "Done");
    const int result = page->result();
    QAbstractButton* press = link ? page->findChild<QAbstractButton*>(QString::fromLatin1(link))
                                  : button(QWizard::FinishButton);
    EXPECT_TRUE(press != nullptr && press->isVisible()) << (link ? link : "Done");
    if (press != nullptr) press->click();
    EXPECT_FALSE(sheet->isVisible()) << "the wizard stayed open";
    return result;
  }

  /// What 7-Zip extracts from the archive: the tree below its full path.
  void expect_archive_gives_back_the_tree() {
    EXPECT_EQ(sevenzip("t " + testenv::shell_quote(m_archive)), 0);
    const std::string out = m_base + "/x-" + std::to_string(++m_extractions);
    ASSERT_EQ(sevenzip("x -o" + testenv::shell_quote(out) + " " + testenv::shell_quote(m_archive)), 0);
    expect_same_tree(m_tree, out + m_tree);
  }

  std::string m_base, m_tree, m_archive;
  int m_extractions = 0;
};

TEST_F(RunEndToEnd, CreateFromATreeAtBothLevels) {
  uintmax_t sizes[2] = {};
  for (const bool faster : {true, false}) {
    SCOPED_TRACE(faster ? "level 3" : "level 7");
    fs::remove(m_archive);
    ASSERT_EQ(run_through({core::kRunModeCreate, {}, QString::fromStdString(m_tree), {}, faster, {}}), 0);
    EXPECT_EQ(record.faster_compression, faster ? 1 : 0);
    expect_archive_gives_back_the_tree();
    sizes[faster ? 0 : 1] = fs::file_size(m_archive);
    finish_program();
  }
  EXPECT_GT(sizes[0], sizes[1]) << "level 3 packed as tightly as level 7";
}

TEST_F(RunEndToEnd, AddToAnArchiveAPeerMade) {
  write_file_at(m_base + "/old/kept.txt", pattern_bytes(100, 4), sample_time(4));
  ASSERT_EQ(testenv::run_command("cd " + testenv::shell_quote(m_base + "/old") + " && 7zz a -tzip -bso0 -bsp0 " +
                                 testenv::shell_quote(m_archive) + " kept.txt"),
            0);
  ASSERT_EQ(run_through({core::kRunModeAdd, {}, QString::fromStdString(m_tree), {}, false, {}}), 0);
  expect_archive_gives_back_the_tree();
  const std::string out = m_base + "/x-" + std::to_string(m_extractions);
  EXPECT_EQ(testenv::read_file(out + "/kept.txt"), pattern_bytes(100, 4)) << "the old entry is gone";
}

TEST_F(RunEndToEnd, ExtractIntoAnExistingAndAMissingFolder) {
  ASSERT_EQ(testenv::run_command("cd " + testenv::shell_quote(m_tree) + " && 7zz a -tzip -bso0 -bsp0 " +
                                 testenv::shell_quote(m_archive) + " ."),
            0);
  for (const bool exists : {true, false}) {
    SCOPED_TRACE(exists ? "existing folder" : "missing folder");
    const std::string dest = m_base + (exists ? "/here" : "/not/yet/there");
    if (exists) write_file_at(dest + "/mine.txt", pattern_bytes(9, 5), sample_time(5));
    opened.clear();
    ASSERT_EQ(run_through({core::kRunModeExtract, {}, {}, QString::fromStdString(dest), false, {}}), 0);
    EXPECT_EQ(record.destination_folder, dest);
    if (exists) {
      EXPECT_EQ(testenv::read_file(dest + "/mine.txt"), pattern_bytes(9, 5));
      fs::remove(dest + "/mine.txt");
    }
    expect_same_tree(m_tree, dest);
    ASSERT_EQ(opened.size(), 1) << "the folder was not handed to the file manager";
    EXPECT_TRUE(opened[0].endsWith(QString::fromStdString(dest))) << opened[0].toStdString();
    finish_program();
  }
}

// "Open" and "Email" hand the new archive over whole, blanks and all, and end the wizard.
TEST_F(RunEndToEnd, OpenAndEmailHandOverTheArchive) {
  QStringList mailed;
  platform::set_mail_runner([&mailed](const QString& program, const QStringList& arguments) {
    mailed << program << arguments;
    return 0;
  });
  m_archive = m_base + "/Monthly report.zip";
  for (const char* link : {"OpenLink", "EmailLink"}) {
    SCOPED_TRACE(link);
    opened.clear();
    mailed.clear();
    fs::remove(m_archive);
    ASSERT_EQ(run_through({core::kRunModeCreate, {}, QString::fromStdString(m_tree), {}, false, {}}, link), 0);
    const QString archive = QString::fromStdString(m_archive);
    if (std::string(link) == "OpenLink") {
      EXPECT_EQ(opened, QStringList{"xdg-open " + archive});
      EXPECT_TRUE(mailed.isEmpty());
    } else {
      EXPECT_EQ(mailed, (QStringList{"xdg-email", "--attach", archive}));
      EXPECT_TRUE(opened.isEmpty());
    }
    finish_program();
  }
  platform::set_mail_runner(nullptr);
}

}  // namespace
