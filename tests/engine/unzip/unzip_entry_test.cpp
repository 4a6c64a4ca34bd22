/* tests/engine/unzip/unzip_entry_test.cpp - the unzip entry's steps, checks and report.
 *
 * Risks: a check made after the archive is opened (a long password must be
 * refused before any file is touched), a wrong code or detail (callers show
 * them), the record written back beyond the caller's size (corrupting the
 * caller's memory), a nested call from a callback disturbing the running one,
 * an unreadable pointer crashing the caller's process, and result lines that
 * are missing or written for the wrong runs.
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/unzip/unzip_state.h"
#include "engine_callbacks.h"
#include "ostrana.h"
#include "peer_run.h"
#include "test_env.h"
#include "zip_builder.h"

using enginetest::BoxRecorder;
using enginetest::DisplayCall;
using enginetest::MessageRecorder;
using enginetest::read_text_file;

namespace {

testzip::Entry stored(const std::string& name, const std::string& text) {
  testzip::Entry e;
  e.name = name;
  e.data.assign(text.begin(), text.end());
  return e;
}

class UnzipEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    messages = MessageRecorder();
    box.calls.clear();
    dir = testenv::make_temp_dir("unzip-entry");
    log = dir + "/diag.log";
    archive = dir + "/three.zip";
    testzip::Archive a;
    a.entries = {stored("a.txt", "alpha"), stored("docs/", ""), stored("docs/b.txt", "beta")};
    testenv::write_file(archive, a.build());
    std::memset(&cmd, 0, sizeof cmd);
    cmd.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    cmd.Function = UNZIP_COUNT_ITEMS;
    cmd.lpszZIPFile = archive.c_str();
    cmd.index = -1;
    cmd.lpMessageDisplay = MessageRecorder::proc;
    cmd.lpMessageDisplayData = &messages;
    messages.move_unzip_diagnostic_log(log);
  }

  std::vector<DisplayCall> reports() const {
    std::vector<DisplayCall> out;
    for (const DisplayCall& c : messages.shown())
      if (c.type == OSTRANA_DISPLAY_ERROR) out.push_back(c);
    return out;
  }
  std::string report_text() const {
    auto r = reports();
    return r.size() == 1 ? r[0].text : "<" + std::to_string(r.size()) + " reports>";
  }

  std::string dir, log, archive;
  UNZIPCMDSTRUCT cmd;
  MessageRecorder messages;
  BoxRecorder box;
};

TEST_F(UnzipEntry, NullRecordIsRefusedWithoutAnyReport) {
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(nullptr));
  EXPECT_TRUE(box.calls.empty());
}

TEST_F(UnzipEntry, CountsTheItemsAndWritesTheResultLines) {
  cmd.diagnosticFlag = 1;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ(3, cmd.returnCount);
  EXPECT_TRUE(reports().empty());
  std::string text = read_text_file(log);
  EXPECT_NE(std::string::npos, text.find("--- Ostrana Secure UnZip Diagnostic Log [DLL/SLL] - Ostrana Secure UnZip "
                                         "Version: 6.00.00 - "));
  EXPECT_NE(std::string::npos, text.find("Function: 1 \r\n"));
  EXPECT_NE(std::string::npos, text.find("Ostrana Secure UnZip Response: 0 Success \r\nreturnCount: 3\r\n"
                                         "lpszReturnString: 0 \r\n"));
}

TEST_F(UnzipEntry, UnknownRecordSizeGives47WithoutAMessage) {
  std::string default_log = enginetest::default_diagnostic_log();
  std::remove(default_log.c_str());
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L100 + 2;
  cmd.diagnosticFlag = 1;
  cmd.returnCount = 77;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ(77, cmd.returnCount) << "nothing is written back into a record of unknown size";
  EXPECT_TRUE(messages.calls.empty());
  EXPECT_TRUE(box.calls.empty());
  std::string text = read_text_file(default_log);
  EXPECT_NE(std::string::npos, text.find("Function: 1 \r\n"));
  EXPECT_NE(std::string::npos, text.find("Ostrana Secure UnZip Response: 47 Command syntax error \r\n"));
  cmd.structSize = 200;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
}

TEST_F(UnzipEntry, RecordIsWrittenBackInTheCallersSizeOnly) {
  // A level-100 caller's record ends before lpMessageDisplay: what lies beyond
  // belongs to the caller and must stay as it is.
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L100;
  cmd.lpMessageDisplay = nullptr;
  cmd.lpMessageDisplayData = reinterpret_cast<void*>(0x1234);
  cmd.wUnzipSubOptions = 0xBEEF;
  cmd.lpszExtProgTitle = nullptr;
  cmd.lResv16 = 0x5A5A5A5A;
  UNZIPCMDSTRUCT before = cmd;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ(3, cmd.returnCount);
  EXPECT_EQ(0, std::memcmp(reinterpret_cast<char*>(&cmd) + UNZIPCMDSTRUCT_SIZE_L100,
                           reinterpret_cast<char*>(&before) + UNZIPCMDSTRUCT_SIZE_L100,
                           sizeof cmd - UNZIPCMDSTRUCT_SIZE_L100));
}

TEST_F(UnzipEntry, HundredByteRecordGetsExtractProgressAndNoRenameCallbacks) {
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L100;
  cmd.diagnosticFlag = 1;
  cmd.lpRenameProc = [](UNZIPRENAMEINFO*, void*) { return 0; };
  cmd.lpRenameProcEX = [](UNZIPRENAMEINFOEX*, void*) { return 0; };
  std::string default_log = enginetest::default_diagnostic_log();
  std::remove(default_log.c_str());
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  const ostrana::UnzipRun& run = ostrana::unzip_thread_state(false)->run;
  EXPECT_EQ(100, run.level);
  EXPECT_EQ("Extract Progress", run.progress_title);
  EXPECT_EQ(nullptr, run.cmd.lpRenameProc);
  EXPECT_EQ(nullptr, run.cmd.lpRenameProcEX);
  // Beyond its size the record has no message callback: the log is in its default place.
  std::string text = read_text_file(default_log);
  size_t title = text.find("lpszExtProgTitle: ");
  ASSERT_NE(std::string::npos, title);
  EXPECT_EQ(0u, text.find("\r\nExtract Progress\r\n", title) - text.find("\r\n", title));
  EXPECT_NE(std::string::npos, text.find("lpRenameProc: 00000000 \r\n"));

  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L300;
  cmd.lpszExtProgTitle = nullptr;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ("Extract Progress", ostrana::unzip_thread_state(false)->run.progress_title);
}

TEST_F(UnzipEntry, LongPasswordIsRefusedBeforeTheArchiveIsOpened) {
  cmd.lpszZIPFile = "/nonexistent/folder/archive.zip";
  cmd.decryptFlag = 1;
  std::string password(129, 'k');
  cmd.lpszDecryptCode = password.c_str();
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Decryption key not provided, or too long)\n",
            report_text());
  // 128 characters pass; then the missing archive is found missing.
  password.pop_back();
  cmd.lpszDecryptCode = password.c_str();
  messages.calls.clear();
  EXPECT_EQ(OU_FILE_NOT_FOUND, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: File not found (No valid Zip file indicated)\n", report_text());
  // No password at all, and an empty one.
  for (const char* none : {static_cast<const char*>(nullptr), ""}) {
    cmd.lpszDecryptCode = none;
    EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  }
}

TEST_F(UnzipEntry, DestinationChecksOfFreshenAndUpdate) {
  struct Case {
    int freshen, update;
    const char* destination;
    int code;
    const char* detail;
  };
  const Case cases[] = {
      {1, 1, nullptr, OU_SYNTAX, "Can't freshen and update at the same time"},
      {1, 1, "/tmp", OU_SYNTAX, "Can't freshen and update at the same time"},
      {1, 0, nullptr, OU_SYNTAX, "Need destination path when updating or freshening"},
      {0, 1, "x", OU_SYNTAX, "Destination path not complete"},
      {0, 1, "\"/\"", OU_SYNTAX, "Destination path not complete"},
      {0, 1, "", OU_SYNTAX, "Destination path not complete"},
      {1, 0, "relative/dir", OU_SYNTAX, "Destination path must include drive letter"},
      {1, 0, "C:\\dir", OU_SYNTAX, "Destination path must include drive letter"},
      {1, 0, "//server/share", OU_SUCCESS, nullptr},
      {0, 1, "\"/tmp/with blank\"", OU_SUCCESS, nullptr},
  };
  for (const Case& c : cases) {
    messages.calls.clear();
    cmd.freshenFlag = c.freshen;
    cmd.updateFlag = c.update;
    cmd.lpszDestination = c.destination;
    EXPECT_EQ(c.code, OstranaUnzip(&cmd)) << (c.destination ? c.destination : "null");
    if (c.detail)
      EXPECT_EQ(std::string("Ostrana Secure UnZip Error: Command syntax error (") + c.detail + ")\n", report_text());
    else
      EXPECT_TRUE(reports().empty());
  }
  EXPECT_EQ("/tmp/with blank/", ostrana::unzip_thread_state(false)->run.destination);
}

TEST_F(UnzipEntry, ArchiveNameFunctionAndCallbackChecks) {
  cmd.lpszZIPFile = "";
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Zip filename not provided)\n", report_text());

  messages.calls.clear();
  cmd.lpszZIPFile = archive.c_str();
  cmd.Function = 12;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Unknown function requested)\n", report_text());

  messages.calls.clear();
  cmd.Function = UNZIP_COUNT_ITEMS;
  cmd.wUnzipSubOptions = UNZIP_OPT_NEED_DATA_CALLBACK;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Command syntax error)\n", report_text());

  // Memory to memory needs no archive name, but its callback.
  messages.calls.clear();
  cmd.wUnzipSubOptions = 0;
  cmd.Function = UNZIP_MEMTOMEM;
  cmd.lpszZIPFile = nullptr;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Inconsistent UNZIP_FILETOMEM parameters.)\n",
            report_text());
  messages.calls.clear();
  cmd.Function = UNZIP_FILETOMEM;
  cmd.lpszZIPFile = archive.c_str();
  cmd.lpszFilespec = "*.txt";  // a pattern does not name one item
  char block[16];
  cmd.lpMemBlock = block;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Inconsistent UNZIP_FILETOMEM parameters.)\n",
            report_text());
}

TEST_F(UnzipEntry, FailedExtractionIsReportedAtItsEndWithoutResultLines) {
  cmd.Function = UNZIP_EXTRACT;
  cmd.lpszFilespec = "nothing.here";
  cmd.lpszDestination = dir.c_str();
  cmd.diagnosticFlag = 1;
  EXPECT_EQ(OU_NOTHING_TO_DO, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: No files to test, extract, etc. (No items match filespec)\n", report_text());
  std::string text = read_text_file(log);
  EXPECT_NE(std::string::npos, text.find("No items match filespec"));
  EXPECT_EQ(std::string::npos, text.find("Ostrana Secure UnZip Response:")) << "no result line for a failed extraction";
}

TEST_F(UnzipEntry, OpenFailuresNameTheFunctionsDetail) {
  cmd.lpszZIPFile = "/nonexistent/archive.zip";
  const std::pair<int, const char*> cases[] = {
      {UNZIP_COUNT_ITEMS, "No valid Zip file indicated"},
      {UNZIP_COMMENT_SIZE, "Problem opening ZIP file"},
      {UNZIP_ITEM_INFO, "Problem reading Zip file"},
  };
  for (const auto& [function, detail] : cases) {
    messages.calls.clear();
    cmd.Function = function;
    EXPECT_EQ(OU_FILE_NOT_FOUND, OstranaUnzip(&cmd));
    EXPECT_EQ(std::string("Ostrana Secure UnZip Error: File not found (") + detail + ")\n", report_text());
  }
}

TEST_F(UnzipEntry, FailuresOfInformationFunctionsStillWriteTheResultLines) {
  cmd.lpszZIPFile = "/nonexistent/archive.zip";
  cmd.diagnosticFlag = 1;
  cmd.quietFlag = 1;
  EXPECT_EQ(OU_FILE_NOT_FOUND, OstranaUnzip(&cmd));
  EXPECT_TRUE(reports().empty()) << "quiet";
  std::string text = read_text_file(log);
  EXPECT_NE(std::string::npos,
            text.find("\r\nOstrana Secure UnZip Error: File not found (No valid Zip file indicated)\n\r\n"));
  EXPECT_NE(std::string::npos, text.find("Ostrana Secure UnZip Response: 9 File not found \r\n"));
}

TEST_F(UnzipEntry, NestedCallFromACallbackGives45) {
  UNZIPCMDSTRUCT inner;
  MessageRecorder inner_messages;
  int inner_result = -1;
  cmd.Function = UNZIP_EXTRACT;  // ends with a report, which calls back
  cmd.lpszFilespec = "nothing.here";
  cmd.lpszDestination = dir.c_str();
  messages.on_call = [&](const DisplayCall& call) {
    if (call.type != OSTRANA_DISPLAY_ERROR || inner_result != -1) return;
    inner = cmd;
    inner.Function = UNZIP_COUNT_ITEMS;
    inner.lpMessageDisplayData = &inner_messages;
    inner.returnCount = -5;
    inner_result = OstranaUnzip(&inner);
  };
  EXPECT_EQ(OU_NOTHING_TO_DO, OstranaUnzip(&cmd));
  EXPECT_EQ(OU_BUSY, inner_result);
  EXPECT_EQ(-5, inner.returnCount) << "a refused call writes nothing back";
  ASSERT_EQ(1u, inner_messages.shown().size());
  EXPECT_EQ("Ostrana Secure UnZip Error: Busy, can't re-enter now (Re-entry not permitted)\n",
            inner_messages.shown()[0].text);
  EXPECT_EQ("Ostrana Secure UnZip Error:", inner_messages.shown()[0].title);
  // The thread is free again afterwards.
  cmd.Function = UNZIP_COUNT_ITEMS;
  messages.on_call = nullptr;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
}

TEST_F(UnzipEntry, UnreadableStringsAreSyntaxErrorsNotCrashes) {
  cmd.Function = UNZIP_COUNT_MATCHES;
  cmd.lpszFilespec = reinterpret_cast<const char*>(8);  // the first page is never mapped
  cmd.diagnosticFlag = 1;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&cmd));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (lpszFilespec)\n", report_text());
  std::string text = read_text_file(log);
  EXPECT_NE(std::string::npos, text.find("lpszFilespec: 0x000008 \r\n???\r\n"));
}

TEST_F(UnzipEntry, DiagnosticLogCutsThePasswordAt65Characters) {
  std::string password(100, 'q');
  cmd.decryptFlag = 1;
  cmd.lpszDecryptCode = password.c_str();
  cmd.diagnosticFlag = 1;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));  // 100 characters are a valid password
  std::string text = read_text_file(log);
  size_t at = text.find("lpszDecryptCode: ");
  ASSERT_NE(std::string::npos, at);
  size_t start = text.find("\r\n", at) + 2;
  EXPECT_EQ(std::string(65, 'q') + "\r\n", text.substr(start, 67));
}

TEST_F(UnzipEntry, ResultTextsAndNames) {
  EXPECT_STREQ("Command syntax error", OstranaUnzipResultText(47));
  EXPECT_STREQ("-", OstranaUnzipResultText(1));
  EXPECT_STREQ("-", OstranaUnzipResultText(51));
  EXPECT_STREQ("Disk full", OstranaUnzipResultText(50));
  EXPECT_STREQ("OU_BUSY", OstranaUnzipResultName(45));
  EXPECT_STREQ("?", OstranaUnzipResultName(1));
  // Every code with a text of its own has a name; a code without one has none
  // (12 is the one named code that shows "-").
  for (int code = 0; code <= 60; ++code) {
    const bool texted = std::string(OstranaUnzipResultText(code)) != "-";
    const bool named = std::string(OstranaUnzipResultName(code)) != "?";
    EXPECT_EQ(texted || code == OU_SAME_VOLUME, named) << code;
  }
}

}  // namespace
