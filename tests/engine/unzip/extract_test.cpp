/* tests/engine/unzip/extract_test.cpp - function 8: what is written, where, and when.
 *
 * Risks: the selection writes more or less than the patterns say (folder
 * entries, recursion, the star rule); freshen/update replace a file that is
 * not older; an answer to the overwrite question has the wrong effect; a
 * read-only file blocks or loses its protection at the wrong time; a failed
 * item destroys the file it was meant to replace or leaves half a file; times
 * and attributes are not the item's; test mode leaves anything behind; the
 * run goes on after an item that must stop it, or stops after one that must
 * not.
 */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "engine/common/dos_time.h"
#include "extract_fixture.h"
#include "platform/file_info.h"

using namespace extracttest;
using enginetest::DisplayCall;

namespace {

class Extract : public ExtractFixture {};

time_t item_time(uint16_t date, uint16_t time) {
  return platform::time_from_dos_datetime(static_cast<uint32_t>(date) << 16 | time);
}

void set_mtime(const std::string& path, time_t t) {
  struct utimbuf u = {t, t};
  ASSERT_EQ(0, ::utime(path.c_str(), &u));
}

int count_entries(const std::string& folder) {
  int n = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (struct dirent* e = ::readdir(d)) n += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
    ::closedir(d);
  }
  return n;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST_F(Extract, PatternsSelectByTheStarFolderAndRecursionRules) {
  testzip::Entry folder = stored("DOCS/", "");
  testzip::Entry empty = stored("EMPTY/", "");
  write_archive({stored("A.TXT"), stored("AXYZ.TXT"), folder, stored("DOCS/B.TXT"), empty, stored("C.BIN")});
  struct Case {
    const char* filespec;
    int recurse;
    std::vector<std::string> written;
    std::vector<std::string> not_written;
  };
  const Case cases[] = {
      {"*.TXT", 0, {"A.TXT", "AXYZ.TXT"}, {"DOCS/B.TXT", "C.BIN"}},
      {"*.txt", 1, {"A.TXT", "AXYZ.TXT", "DOCS/B.TXT"}, {"C.BIN", "EMPTY"}},
      {"A*B.TXT", 0, {"AXYZ.TXT", "A.TXT"}, {"DOCS/B.TXT"}},  // nothing after the star is compared
      {"*", 1, {"A.TXT", "DOCS/B.TXT", "C.BIN"}, {"EMPTY"}},   // files only: the empty folder is not made
      {"*.*", 1, {"A.TXT", "DOCS/B.TXT", "EMPTY"}, {}},        // folder entries too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filespec);
    dest = testenv::make_temp_dir("select");
    cmd.lpszDestination = dest.c_str();
    cmd.recurseFlag = c.recurse;
    EXPECT_EQ(OU_SUCCESS, extract(c.filespec));
    for (const std::string& name : c.written) EXPECT_NE("<missing>", content(name)) << name;
    for (const std::string& name : c.not_written) EXPECT_EQ("<missing>", content(name)) << name;
  }
  // Nothing matched: 11, and nothing is made.
  dest = testenv::make_temp_dir("select-none");
  cmd.lpszDestination = dest.c_str();
  EXPECT_EQ(OU_NOTHING_TO_DO, extract("*.DOC"));
  EXPECT_EQ(0, cmd.returnCount);
}

TEST_F(Extract, FreshenAndUpdateReplaceOnlyStrictlyOlderFiles) {
  write_archive({stored("missing.txt", "new"), stored("older.txt", "new"), stored("same.txt", "new"),
                 stored("newer.txt", "new")});
  const time_t item = item_time(testzip::kDefaultDosDate, testzip::kDefaultDosTime);
  for (int update = 0; update <= 1; ++update) {
    SCOPED_TRACE(update ? "update" : "freshen");
    dest = testenv::make_temp_dir("fresh");
    cmd.lpszDestination = dest.c_str();
    for (auto [name, t] : {std::pair<const char*, time_t>{"older.txt", item - 3600}, {"same.txt", item},
                           {"newer.txt", item + 3600}}) {
      testenv::write_file(dest + "/" + name, {'o', 'l', 'd'});
      set_mtime(dest + "/" + name, t);
    }
    cmd.freshenFlag = !update;
    cmd.updateFlag = update;
    EXPECT_EQ(OU_SUCCESS, extract("*.*"));
    EXPECT_EQ(update ? "new" : "<missing>", content("missing.txt"));
    EXPECT_EQ("new", content("older.txt"));
    EXPECT_EQ("old", content("same.txt")) << "an equal DOS time is not older";
    EXPECT_EQ("old", content("newer.txt"));
    EXPECT_EQ(update ? 2 : 1, cmd.returnCount);
  }
}

TEST_F(Extract, EveryOverwriteAnswerHasItsEffect) {
  write_archive({stored("a.txt", "new-a"), stored("b.txt", "new-b"), stored("c.txt", "new-c")});
  struct Case {
    const char* what;
    int answer;
    int result;
    const char* a;
    const char* b;
    size_t questions;
  };
  const Case cases[] = {
      {"Yes", OSTRANA_ID_YES, OU_SUCCESS, "new-a", "new-b", 3},
      {"No", OSTRANA_ID_NO, OU_USER_SKIPPED, "old", "old", 3},
      {"Cancel", OSTRANA_ID_CANCEL, OU_USER_CANCELLED, "old", "old", 1},
      {"Yes to All", OSTRANA_ID_YESTOALL, OU_SUCCESS, "new-a", "new-b", 1},
      {"5 is Yes to All", OSTRANA_ID_IGNORE, OU_SUCCESS, "new-a", "new-b", 1},
      {"Rename, dialog cancelled", OSTRANA_ID_RENAME, OU_USER_SKIPPED, "old", "old", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dest = testenv::make_temp_dir("answers");
    cmd.lpszDestination = dest.c_str();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) testenv::write_file(dest + "/" + name, {'o', 'l', 'd'});
    messages.calls.clear();
    messages.answer = [&](const DisplayCall& call) { return call.type == 8 ? c.answer : OSTRANA_ID_OK; };
    EXPECT_EQ(c.result, extract("*.*"));
    EXPECT_EQ(c.a, content("a.txt"));
    EXPECT_EQ(c.b, content("b.txt"));
    std::vector<DisplayCall> asked = shown(8);
    ASSERT_EQ(c.questions, asked.size());
    EXPECT_EQ(dest + "/a.txt exists, do you want to overwrite it?", asked[0].text);
    EXPECT_EQ(static_cast<uint32_t>(OSTRANA_MB_OVERWRITE), asked[0].style);
    EXPECT_EQ("Ostrana Secure UnZip Warning", asked[0].title);
  }
  // Level 200 callers get Yes/No/Cancel.
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L200;
  messages.calls.clear();
  messages.answer = [](const DisplayCall& call) { return call.type == 8 ? OSTRANA_ID_NO : OSTRANA_ID_OK; };
  EXPECT_EQ(OU_USER_SKIPPED, extract("a.txt"));
  ASSERT_EQ(1u, shown(8).size());
  EXPECT_EQ(static_cast<uint32_t>(OSTRANA_MB_YESNOCANCEL), shown(8)[0].style);
  // Quiet: never asked, skipped.
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  cmd.quietFlag = 1;
  messages.calls.clear();
  EXPECT_EQ(OU_USER_SKIPPED, extract("a.txt"));
  EXPECT_TRUE(shown(8).empty());
}

int choose_renamed(const char*, const char* filter, const char* start, char* path_ret, size_t avail, void* context) {
  auto* seen = static_cast<std::string*>(context);
  *seen = std::string(filter) + "|" + start;
  std::snprintf(path_ret, avail, "%s.renamed", start);
  return 1;
}

TEST_F(Extract, RenameAnswerWritesWhereTheSaveDialogSays) {
  write_archive({stored("a.txt", "new")});
  testenv::write_file(dest + "/a.txt", {'o', 'l', 'd'});
  std::string seen;
  OstranaSetSaveDialogHook(choose_renamed, &seen);
  messages.answer = [](const DisplayCall& call) { return call.type == 8 ? OSTRANA_ID_RENAME : OSTRANA_ID_OK; };
  EXPECT_EQ(OU_SUCCESS, extract("a.txt"));
  OstranaSetSaveDialogHook(nullptr, nullptr);
  EXPECT_EQ("All Files|*.*|||" + dest + "/a.txt", seen);
  EXPECT_EQ("old", content("a.txt"));
  EXPECT_EQ("new", content("a.txt.renamed"));
}

TEST_F(Extract, ReadOnlyFilesAreReplacedOnYesAndKeptOnAnyOtherAnswer) {
  testzip::Entry ro = stored("ro.txt", "new");
  ro.external_attributes = 0x21;  // the item itself is read-only
  write_archive({ro, stored("rw.txt", "new")});
  for (const char* name : {"ro.txt", "rw.txt"}) {
    testenv::write_file(dest + "/" + name, {'o', 'l', 'd'});
    ASSERT_EQ(0, ::chmod((dest + "/" + name).c_str(), 0444));
  }
  messages.answer = [](const DisplayCall& call) { return call.type == 8 ? OSTRANA_ID_YES : OSTRANA_ID_OK; };
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ(dest + "/ro.txt exists and is Read Only, do you want to overwrite it?", shown(8)[0].text);
  EXPECT_EQ("new", content("ro.txt"));
  EXPECT_EQ("new", content("rw.txt"));
  EXPECT_EQ(0, mode_of(dest + "/ro.txt") & 0222) << "the item's read-only attribute";
  EXPECT_NE(0, mode_of(dest + "/rw.txt") & 0200) << "the old file's read-only attribute is gone";

  // An answer the question does not offer reaches the message box; its answer
  // replaces files but keeps read-only ones (28), unless option bit 0.
  testenv::write_file(dest + "/rw.txt", {'o', 'l', 'd'});  // now writable
  ASSERT_EQ(0, ::chmod((dest + "/ro.txt").c_str(), 0444));
  messages.answer = [](const DisplayCall& call) { return call.type == 8 ? 0 : OSTRANA_ID_OK; };
  box.answer = OSTRANA_ID_OK;
  EXPECT_EQ(OU_SUCCESS, extract("rw.txt"));
  EXPECT_EQ(OU_CREATE_FAILED, extract("ro.txt"));
  cmd.wUnzipSubOptions |= UNZIP_OPT_REPLACE_READONLY;
  EXPECT_EQ(OU_SUCCESS, extract("ro.txt"));
  EXPECT_EQ("new", content("ro.txt"));
}

TEST_F(Extract, FailedItemKeepsTheOldFileAndLeavesNoPartialOutput) {
  testzip::Entry bad = stored("x.txt", "corrupted");
  bad.crc = 0x12345678;
  write_archive({bad, stored("y.txt", "after")});
  testenv::write_file(dest + "/x.txt", {'o', 'l', 'd'});
  cmd.overWriteFlag = 1;
  EXPECT_EQ(OU_BAD_CRC, extract("*.*"));
  EXPECT_EQ("old", content("x.txt"));
  EXPECT_EQ("<missing>", content("y.txt")) << "39 stops the run";
  ASSERT_EQ(1u, shown(OSTRANA_DISPLAY_ERROR).size());
  EXPECT_EQ("Ostrana Secure UnZip Error: Bad CRC (x.txt: Problem extracting file(s))\n", shown(OSTRANA_DISPLAY_ERROR)[0].text);
  EXPECT_EQ(1, count_entries(dest)) << "no temporary file is left";
  // Option bit 6 keeps what was written.
  cmd.wUnzipSubOptions |= UNZIP_OPT_KEEP_FAILED;
  EXPECT_EQ(OU_BAD_CRC, extract("x.txt"));
  EXPECT_EQ("corrupted", content("x.txt"));
}

TEST_F(Extract, FilesAndFoldersGetTheItemsTimesAndAttributes) {
  testzip::Entry file = stored("docs/a.txt", "line one\nline two\n");
  file.dos_date = (35 << 9) | (3 << 5) | 4;   // 2015-03-04
  file.dos_time = (5 << 11) | (6 << 5) | 7;   // 05:06:14
  testzip::Entry folder = stored("docs/", "");
  folder.dos_date = (20 << 9) | (1 << 5) | 2;  // 2000-01-02
  folder.external_attributes = 0x10;
  testzip::Entry script = stored("run.sh", "#!/bin/sh\n");
  script.version_made_by = 3 << 8 | 30;        // Unix
  script.external_attributes = (0100755u << 16);
  testzip::Entry hidden = stored("ro.txt", "r");
  hidden.external_attributes = 0x01;
  write_archive({folder, file, script, hidden});
  cmd.textOutputFlag = 1;
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ("line one\r\nline two\r\n", content("docs/a.txt")) << "text mode";
  platform::FileInfo info;
  ASSERT_EQ(0, platform::file_info(dest + "/docs/a.txt", &info));
  EXPECT_EQ(item_time(file.dos_date, file.dos_time), info.mtime);
  ASSERT_EQ(0, platform::file_info(dest + "/docs", &info));
  EXPECT_EQ(item_time(folder.dos_date, folder.dos_time), info.mtime) << "set after its content was written";
  EXPECT_NE(0, mode_of(dest + "/run.sh") & 0100);
  EXPECT_EQ(0, mode_of(dest + "/docs/a.txt") & 0111);
  EXPECT_EQ(0, mode_of(dest + "/ro.txt") & 0222);
}

struct RenameLog {
  std::vector<std::string> seen;
  std::string new_path;
};

int rename_plain(UNZIPRENAMEINFO* info, void* user) {
  auto* log = static_cast<RenameLog*>(user);
  log->seen.push_back(info->szOutputPath);
  if (std::string(info->szOutputPath).find("b.txt") != std::string::npos) {
    std::snprintf(info->szOutputPath, sizeof info->szOutputPath, "%s", log->new_path.c_str());
    info->lDosDate = (40 << 9) | (12 << 5) | 24;
  }
  return 0;
}

int rename_ex(UNZIPRENAMEINFOEX* info, void* user) {
  auto* log = static_cast<RenameLog*>(user);
  log->seen.push_back(std::string(info->szStoredName) + "=" + std::to_string(info->ulSizeLow) + "@" +
                      std::to_string(info->lStructSize));
  return 0;
}

TEST_F(Extract, RenameCallbacksMoveItemsAndChangeTheirDates) {
  write_archive({stored("a.txt", "aa"), stored("sub/b.txt", "bbb")});
  RenameLog log;
  log.new_path = dir + "/elsewhere/moved.txt";
  cmd.lpRenameProc = rename_plain;
  cmd.lpRenameUserData = &log;
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ((std::vector<std::string>{dest + "/a.txt", dest + "/sub/b.txt"}), log.seen);
  EXPECT_EQ("aa", content("a.txt"));
  EXPECT_EQ("<missing>", content("sub/b.txt"));
  EXPECT_EQ("bbb", enginetest::read_text_file(log.new_path));
  platform::FileInfo info;
  ASSERT_EQ(0, platform::file_info(log.new_path, &info));
  EXPECT_EQ(item_time((40 << 9) | (12 << 5) | 24, testzip::kDefaultDosTime), info.mtime);

  // The extended form, chosen by option bit 1 of lUnZipSubOptions2.
  log.seen.clear();
  cmd.lpRenameProcEX = rename_ex;
  cmd.lUnZipSubOptions2 = UNZIP_OPT2_RENAME_EX;
  cmd.overWriteFlag = 1;
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ((std::vector<std::string>{"a.txt=2@4120", "sub/b.txt=3@4120"}), log.seen);
  EXPECT_EQ("bbb", content("sub/b.txt"));
}

TEST_F(Extract, TestModeWritesNothingChecksEveryCrcAndLogsTested) {
  testzip::Entry bad = stored("docs/bad.txt", "oops");
  bad.crc = 1;
  write_archive({stored("docs/", ""), stored("docs/good.txt", "fine"), bad, stored("later.txt")});
  const std::string log = dir + "/activity.txt";
  messages.replacements.push_back({143, log});
  ::rmdir(dest.c_str());
  cmd.testFlag = 1;
  cmd.lpszDestination = nullptr;
  cmd.wUnzipSubOptions |= UNZIP_OPT_ACTIVITY_LOG;
  EXPECT_EQ(OU_BAD_CRC, extract("*.*"));
  struct stat st;
  EXPECT_NE(0, ::stat(dest.c_str(), &st)) << "not even the destination is made";
  EXPECT_EQ(2, count_entries(dir)) << "only the archive and the log";
  std::string text = enginetest::read_text_file(log);
  EXPECT_EQ(0u, text.find("--- Ostrana Secure UnZip Log - Ostrana Secure UnZip Version: 6.00.00 - "));
  EXPECT_NE(std::string::npos, text.find("\r\ndocs/good.txt [Tested]\r\ndocs/bad.txt [Tested]\r\n"));
  EXPECT_EQ(std::string::npos, text.find("later.txt")) << "the run stopped at the bad CRC";
}

TEST_F(Extract, OutcomeRulesGoOnAfterSkipsAndStopOtherwise) {
  testzip::Entry unknown = stored("b.lzma", "xx");
  unknown.method = 14;
  write_archive({stored("a.txt"), unknown, stored("c.txt")});
  EXPECT_EQ(OU_UNKNOWN_METHOD, extract("*.*"));
  EXPECT_EQ("data", content("a.txt"));
  EXPECT_EQ("<missing>", content("b.lzma")) << "refused before any output";
  EXPECT_EQ("<missing>", content("c.txt"));

  // A major-status callback that answers non-zero stops the run with 48.
  dest = testenv::make_temp_dir("major");
  cmd.lpszDestination = dest.c_str();
  std::vector<std::string> majors;
  cmd.lpMajorStatus = [](const char* text, int, void* user) {
    auto* seen = static_cast<std::vector<std::string>*>(user);
    seen->push_back(text);
    return seen->size() == 2 ? 1 : 0;
  };
  cmd.lpMajorUserData = &majors;
  EXPECT_EQ(OU_USER_CANCELLED, extract("*.txt"));
  EXPECT_EQ((std::vector<std::string>{"Item 1 of 2", "Item 2 of 2"}), majors);
  EXPECT_EQ("data", content("a.txt"));
  EXPECT_EQ("<missing>", content("c.txt"));

  // By index: the one item; returnCount is the number of items.
  cmd.lpMajorStatus = nullptr;
  cmd.lpszFilespec = nullptr;
  cmd.index = 2;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ("data", content("c.txt"));
  EXPECT_EQ(3, cmd.returnCount);
  cmd.index = 3;
  EXPECT_EQ(OU_INDEX_OUT_OF_BOUNDS, OstranaUnzip(&cmd));
}

TEST_F(Extract, ItemNamedLikeTheArchiveInItsFolderIsSkipped) {
  write_archive({stored("test.zip", "not an archive"), stored("other.txt", "other")});
  const std::vector<uint8_t> before = testenv::read_file(archive);
  cmd.lpszDestination = dir.c_str();
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ(before, testenv::read_file(archive));
  EXPECT_EQ("other", enginetest::read_text_file(dir + "/other.txt"));
  std::vector<DisplayCall> reports = shown(OSTRANA_DISPLAY_ERROR);
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ(OU_USER_SKIPPED, reports[0].code);
  EXPECT_NE(std::string::npos, reports[0].text.find("on top of itself, which is not permitted."));
}

}  // namespace

namespace {

TEST_F(Extract, StubGluedInFrontIsReadWithOneWarning) {
  testzip::Archive a;
  a.preamble.assign(3000, 'M');
  a.offsets_exclude_preamble = true;  // offsets as if the stub were not there
  a.entries = {stored("a.txt", "alpha"), stored("b.txt", "beta")};
  write_archive(a);
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ("alpha", content("a.txt"));
  EXPECT_EQ("beta", content("b.txt"));
  std::vector<DisplayCall> warnings = shown(OSTRANA_DISPLAY_WARNING);
  ASSERT_EQ(1u, warnings.size());
  EXPECT_EQ(archive + " has a preamble of 3000 bytes that its offsets do not count; it is read with that correction.",
            warnings[0].text);
  EXPECT_EQ("Ostrana Secure UnZip Warning", warnings[0].title);
}

}  // namespace
