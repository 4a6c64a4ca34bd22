/* tests/engine/zip/engine_logs_test.cpp - where the four engine logs land, and their version lines.
 *
 * Risks: a log written somewhere else than the log folder (or not at all)
 * when its name is the shipped relative one; a replaced absolute name moved
 * into the log folder; a version line with one blank between date and time
 * or an unpadded field; lines not ended by CR LF.  One zip run and one unzip
 * run, each with its diagnostic and activity log on, write all four logs.
 */
#include <unistd.h>

#include <cstring>
#include <regex>

#include "engine/common/text_log.h"
#include "platform/log_folder.h"
#include "zip_writer_test_util.h"

namespace {

class EngineLogs : public writertest::WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    folder = platform::engine_log_folder();
    ASSERT_FALSE(folder.empty());
    for (const char* name : {"/OSTRANA.LOG", "/OZIPLOG.TXT", "/OUNZLOG.TXT"}) ::unlink((folder + name).c_str());
    put("src/a.txt", "alpha");
  }
  int unzip_test(const std::string& archive, enginetest::MessageRecorder& recorder) {
    UNZIPCMDSTRUCT u;
    std::memset(&u, 0, sizeof u);
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_EXTRACT;
    u.lpszZIPFile = archive.c_str();
    u.index = -1;
    u.lpszFilespec = "*";
    u.testFlag = 1;
    u.recurseFlag = 1;
    u.diagnosticFlag = 1;
    u.lpMessageDisplay = enginetest::MessageRecorder::proc;
    u.lpMessageDisplayData = &recorder;
    u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP | UNZIP_OPT_ACTIVITY_LOG;
    return OstranaUnzip(&u);
  }
  std::string folder;
};

const char kDateTime[] = "[01][0-9]/[0-3][0-9]/[0-9][0-9]  [0-2][0-9]:[0-5][0-9]:[0-5][0-9]";

}  // namespace

TEST_F(EngineLogs, AllFourLandInTheLogFolderWithTheirVersionLines) {
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "src/*.*");
  cmd.diagnosticFlag = 1;
  cmd.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  enginetest::MessageRecorder reader;
  ASSERT_EQ(0, unzip_test(dir + "/a.zip", reader));

  const std::string diagnostic = enginetest::read_text_file(folder + "/OSTRANA.LOG");
  EXPECT_TRUE(std::regex_search(diagnostic, std::regex(std::string("--- Ostrana Secure Zip Diagnostic Log \\[DLL/SLL\\] - "
                                                                   "Ostrana Secure Zip Version: 6\\.00\\.00 - ") +
                                                       kDateTime + " ---\r\n")))
      << diagnostic.substr(0, 200);
  EXPECT_TRUE(std::regex_search(diagnostic, std::regex(std::string("--- Ostrana Secure UnZip Diagnostic Log \\[DLL/SLL\\] - "
                                                                   "Ostrana Secure UnZip Version: 6\\.00\\.00 - ") +
                                                       kDateTime + " ---\r\n")));
  // Both sides append to the one file: the zip call's dump comes first.
  EXPECT_LT(diagnostic.find("Secure Zip Diagnostic"), diagnostic.find("Secure UnZip Diagnostic"));
  EXPECT_NE(std::string::npos, diagnostic.find("Ostrana Secure UnZip Response: 0 "));

  const std::string zip_activity = enginetest::read_text_file(folder + "/OZIPLOG.TXT");
  EXPECT_TRUE(std::regex_search(zip_activity, std::regex(std::string("^--- Ostrana Secure ZIP Log - Ostrana Secure Zip "
                                                                     "Version: 6\\.00\\.00 - ") +
                                                         kDateTime + " ---\r\n")))
      << zip_activity;
  EXPECT_NE(std::string::npos, zip_activity.find("src/a.txt [Added]\r\n")) << zip_activity;

  const std::string unzip_activity = enginetest::read_text_file(folder + "/OUNZLOG.TXT");
  EXPECT_TRUE(std::regex_search(unzip_activity, std::regex(std::string("^--- Ostrana Secure UnZip Log - Ostrana Secure "
                                                                       "UnZip Version: 6\\.00\\.00 - ") +
                                                           kDateTime + " ---\r\n")))
      << unzip_activity;
  EXPECT_NE(std::string::npos, unzip_activity.find("src/a.txt [Tested]\r\n")) << unzip_activity;
  // Every line of the activity logs ends with CR LF.
  for (const std::string* text : {&zip_activity, &unzip_activity})
    for (size_t at = text->find('\n'); at != std::string::npos; at = text->find('\n', at + 1))
      EXPECT_EQ('\r', (*text)[at - 1]);
}

TEST_F(EngineLogs, ReplacedAbsoluteNamesAreUsedUnchanged) {
  EXPECT_EQ("/somewhere/else.log", ostrana::resolve_log_path("/somewhere/else.log"));
  EXPECT_EQ(folder + "/OSTRANA.LOG", ostrana::resolve_log_path("\\OSTRANA.LOG"));
  EXPECT_EQ(folder + "/logs/zip.txt", ostrana::resolve_log_path("logs\\zip.txt"));

  const std::string diagnostic = dir + "/mine/diag.log";
  const std::string activity = dir + "/mine/zip-activity.txt";
  ::mkdir((dir + "/mine").c_str(), 0777);
  messages.move_zip_diagnostic_log(diagnostic);
  messages.replacements.push_back({144, activity});
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "src/*.*");
  cmd.diagnosticFlag = 1;
  cmd.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_NE(std::string::npos, enginetest::read_text_file(diagnostic).find("Ostrana Secure Zip Diagnostic Log"));
  EXPECT_NE(std::string::npos, enginetest::read_text_file(activity).find("[Added]"));
  EXPECT_NE(0, ::access((folder + "/OSTRANA.LOG").c_str(), F_OK));
  EXPECT_NE(0, ::access((folder + "/OZIPLOG.TXT").c_str(), F_OK));
}
