/* tests/wizard/name_checks_test.cpp - the archive check, the folder check and the listing driver.
 *
 * Risks: a row of either table giving the wrong text, picture or verdict; an
 * archive listed again on every keystroke (or not again after it changed);
 * a second listing started from an event pumped by the first; a stopped
 * listing remembered as the file's verdict; the password question answered
 * from the wrong listing; a proposal or a filter extension built wrong.
 */
#include <gtest/gtest.h>

#include <QFile>
#include <QFileDevice>

#include "bridge/engine_bridge.h"
#include "core/strings.h"
#include "peer_run.h"
#include "test_env.h"
#include "wizard/name_checks.h"
#include "zip_builder.h"

namespace {

using namespace wizard;
using dialogs::StatusPicture;

// A folder holding an archive of each kind the checks tell apart.
struct Archives {
  QString dir = QString::fromStdString(testenv::make_temp_dir("checks"));
  QString good = dir + "/good.zip", junk = dir + "/junk.zip", empty = dir + "/empty.zip";
  QString missing = dir + "/missing.zip";

  Archives() {
    testzip::Archive two;
    two.entries = {testzip::stored_entry("a.txt"), testzip::stored_entry("b/c.txt")};
    testenv::write_file(good.toStdString(), two.build());
    testenv::write_file(junk.toStdString(), std::vector<uint8_t>(100, 'x'));
    testenv::write_file(empty.toStdString(), testzip::empty_archive());
  }
};

// A lister whose bridge calls are counted.
struct CountingLister {
  int calls = 0;
  ArchiveLister lister{[this](const char* path, int32_t* count, bridge::UiProgressCallback* callback) {
    ++calls;
    return bridge::list_archive(core::load_string, nullptr, path, nullptr, count, callback);
  }};
};

TEST(ArchiveCheck, EveryRowOfTheTable) {
  Archives a;
  struct Row {
    QString path;
    bool extraction;
    QString text;
    StatusPicture picture;
    bool valid;
  };
  const Row rows[] = {
      {a.good, true, "ZIP File 'good.zip' contains 2 item(s).", StatusPicture::kGood, true},
      {a.good, false, "ZIP File 'good.zip' contains 2 item(s).", StatusPicture::kGood, true},
      {a.junk, false, "ZIP File 'junk.zip' exists, but cannot be recognized as ZIP! Update Operation May Fail!",
       StatusPicture::kError, false},
      {a.empty, true,
       "<No> Items Found in ZIP, 'empty.zip' may be an empty ZIP File or it cannot be recognized as ZIP! "
       "Update Operation May Fail!",
       StatusPicture::kError, false},
      {a.missing, true, "ZIP File 'missing.zip' does not exist. ZIP must exist in order to UnZIP.",
       StatusPicture::kError, false},
      {a.missing, false,
       "ZIP File 'missing.zip' does not exist and it will be created.\n"
       "Press Browse or NewZIP to select or create another ZIP File...",
       StatusPicture::kNote, true},
      {"", true, "ZIP File Name Cannot be Empty!", StatusPicture::kError, false},
      {"", false, "Press Browse or NewZIP to select or create another ZIP File...", StatusPicture::kNote, false},
      {a.dir, false, "'" + a.dir.section('/', -1) + "' is a folder, not a ZIP File.\n"
       "Press Browse or NewZIP to select or create a ZIP File...", StatusPicture::kError, false},
  };
  for (const Row& row : rows) {
    ArchiveLister lister;
    ArchiveCheck check(lister);
    const ArchiveCheck::Result result = check.check(row.path, row.extraction);
    SCOPED_TRACE(row.path.toStdString() + (row.extraction ? " extraction" : " zip run"));
    EXPECT_EQ(result.outcome, ArchiveCheck::Outcome::kDone);
    EXPECT_EQ(result.verdict.text, row.text);
    EXPECT_EQ(result.verdict.picture, row.picture);
    EXPECT_EQ(result.verdict.valid, row.valid);
  }
}

TEST(ArchiveCheck, TheSameArchiveIsListedOnceUntilItChanges) {
  Archives a;
  CountingLister counting;
  ArchiveCheck check(counting.lister);
  EXPECT_TRUE(check.check(a.good, true).verdict.valid);
  EXPECT_TRUE(check.check(a.good, false).verdict.valid);
  EXPECT_EQ(counting.calls, 1);
  EXPECT_EQ(counting.lister.listed_names(), (QStringList{"a.txt", "b/c.txt"}));
  EXPECT_EQ(check.last_count(), 2);

  // Another archive in between, then the first again: listed again (the
  // statistics follow the archive listed last).
  EXPECT_FALSE(check.check(a.junk, true).verdict.valid);
  EXPECT_TRUE(check.check(a.good, true).verdict.valid);
  EXPECT_EQ(counting.calls, 3);

  // Rewritten on disk as an empty archive: the old count is not reused.
  testenv::write_file(a.good.toStdString(), testzip::empty_archive());
  QFile(a.good).setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
  EXPECT_FALSE(check.check(a.good, true).verdict.valid);
  EXPECT_EQ(counting.calls, 4);
}

TEST(ArchiveCheck, AListingRunningOrStoppedGivesNoVerdict) {
  Archives a;
  // The list function stands in for the engine's work: while it "runs", the
  // pumped events of the page ask for a check of another name.
  ArchiveCheck* nested = nullptr;
  ArchiveLister* self = nullptr;
  ArchiveCheck::Outcome nested_outcome = ArchiveCheck::Outcome::kDone;
  ArchiveLister lister([&](const char*, int32_t* count, bridge::UiProgressCallback* callback) {
    nested_outcome = nested->check(a.empty, true).outcome;
    self->request_stop();
    *count = 5;
    return callback->notify(bridge::kNotifyItemFound, "Found Item 'x'...", 0, nullptr, nullptr, 0, 0, nullptr,
                            nullptr, nullptr) != 0
               ? int32_t{48}
               : 0;
  });
  self = &lister;
  ArchiveCheck check(lister);
  nested = &check;
  const ArchiveCheck::Result result = check.check(a.good, true);
  EXPECT_EQ(nested_outcome, ArchiveCheck::Outcome::kBusy);
  EXPECT_EQ(result.outcome, ArchiveCheck::Outcome::kStopped);
  EXPECT_TRUE(check.last_listed().isEmpty());  // a stopped listing is no verdict on the file
  EXPECT_FALSE(lister.running());
  EXPECT_EQ(lister.listed_names(), QStringList{"x"});
}

TEST(ArchiveCheck, EncryptedItemsQuestionFollowsThePageListing) {
  const std::string dir = testenv::make_temp_dir("aes-check");
  testenv::write_file(dir + "/secret.txt", std::vector<uint8_t>(500, 's'));
  for (const char* password : {"pw", ""}) {
    const std::string archive = dir + (*password ? "/aes.zip" : "/plain.zip");
    ASSERT_EQ(bridge::zip_run(core::load_string, nullptr, archive.c_str(), (dir + "/secret.txt").c_str(), nullptr,
                              password, nullptr, nullptr, bridge::kZipAdd, bridge::kPathModeNoFolders, 7, 0, nullptr),
              0);
    ArchiveLister lister;
    ArchiveCheck check(lister);
    ASSERT_TRUE(check.check(QString::fromStdString(archive), true).verdict.valid);
    EXPECT_EQ(bridge::archive_has_encrypted_items(core::load_string, nullptr, archive.c_str()), *password ? 1 : 0);
  }
}

TEST(FolderCheck, EveryRowAndTheTrailingSlash) {
  const QString dir = QString::fromStdString(testenv::make_temp_dir("Out"));
  const QString name = dir.section('/', -1);
  testenv::write_file((dir + "/file").toStdString(), {1});
  struct Row {
    QString text, folder, verdict;
    StatusPicture picture;
    bool valid;
  };
  const Row rows[] = {
      {dir + "/", dir, "UnZIP Folder '" + name + "' already exists.\nIf you may want to chose a new folder, "
       "press Browse of select from the history ComboBox.", StatusPicture::kGood, true},
      {dir + "/new//", dir + "/new/", "UnZIP Folder 'new' does not exist and will be created during the UnZIP "
       "operation", StatusPicture::kNote, true},
      {dir + "/file", dir + "/file", "'file' is a file, not a folder.\nPlease Enter a ZIP Folder, Browse or "
       "Select it from the History ComboBox", StatusPicture::kError, false},
      {"/", "/", "UnZIP Folder '/' already exists.\nIf you may want to chose a new folder, press Browse of "
       "select from the history ComboBox.", StatusPicture::kGood, true},
      {"", "", "UnZIP Folder cannot be empty.\nPlease Enter a ZIP Folder, Browse or Select it from the History "
       "ComboBox", StatusPicture::kError, false},
  };
  for (const Row& row : rows) {
    const FolderVerdict v = check_folder(row.text);
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(v.folder, row.folder);
    EXPECT_EQ(v.verdict.text, row.verdict);
    EXPECT_EQ(v.verdict.picture, row.picture);
    EXPECT_EQ(v.verdict.valid, row.valid);
  }
  EXPECT_EQ(check_folder("/home/u/Out/").folder, "/home/u/Out");
}

TEST(NameHelpers, ProposalFilterExtensionAndReportNames) {
  EXPECT_EQ(proposed_archive_name("/home/u/Docs/"), "/home/u/Docs.ZIP");
  EXPECT_EQ(proposed_archive_name("/home/u/Docs"), "/home/u/Docs.ZIP");
  EXPECT_EQ(name_with_filter_extension("report", 2), "report.JAR");
  EXPECT_EQ(name_with_filter_extension("/a.b/report", 5), "/a.b/report.TGZ");
  EXPECT_EQ(name_with_filter_extension("report.zip", 2), "report.zip");
  EXPECT_EQ(name_with_filter_extension("report", 0), "report");
  EXPECT_EQ(item_name_of_report("Found Item 'it's/x'..."), "it's/x");
  EXPECT_EQ(item_name_of_report("other"), "other");
}

}  // namespace
