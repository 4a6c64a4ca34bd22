/* tests/engine/zip/zip_entry_test.cpp - the zip entry's steps, checks and report.
 *
 * Risks: a check made in the wrong order or with the wrong code (callers and
 * scripts act on the number); a second failure overwriting the first report;
 * a nested call from a callback corrupting the running call; a record of an
 * unknown size read past its end or its garbage pointers called; the thread
 * state left busy after a failure, so every later call says "Busy".
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "engine/zip/zip_arguments.h"
#include "engine/zip/zip_run.h"
#include "engine/zip/zip_state.h"
#include "engine_callbacks.h"
#include "ostrana.h"
#include "test_env.h"

using enginetest::BoxRecorder;
using enginetest::DisplayCall;
using enginetest::MessageRecorder;
using enginetest::read_text_file;

namespace {

class ZipEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    messages = MessageRecorder();
    box.calls.clear();
    dir = testenv::make_temp_dir("zip-entry");
    log = dir + "/diag.log";
    std::memset(&cmd, 0, sizeof cmd);
    cmd.structSize = ZIPCMDSTRUCT_SIZE_L600;
    cmd.Function = ZIP_ADD;
    archive = dir + "/out.zip";
    cmd.lpszZIPFile = archive.c_str();
    absent = "no-such-file-anywhere.txt";  // relative: no folder entry for its folder either
    cmd.lpszItemList = absent.c_str();
    cmd.lpMessageDisplay = MessageRecorder::proc;
    cmd.lpMessageDisplayData = &messages;
    messages.move_zip_diagnostic_log(log);
  }

  // The error reports (display type 11) the caller was shown.
  std::vector<DisplayCall> reports() const {
    std::vector<DisplayCall> out;
    for (const DisplayCall& c : messages.shown())
      if (c.type == OSTRANA_DISPLAY_ERROR) out.push_back(c);
    return out;
  }

  std::string dir, log, archive, absent;
  ZIPCMDSTRUCT cmd;
  MessageRecorder messages;
  BoxRecorder box;
};

TEST_F(ZipEntry, NullRecordIsRefusedWithoutAnyReport) {
  EXPECT_EQ(OZ_BAD_PARAMETERS, OstranaZip(nullptr));
  EXPECT_TRUE(box.calls.empty());
}

TEST_F(ZipEntry, UnknownRecordSizeGives16AndStillWritesTheDiagnosticLog) {
  // 200 is no size of this record on any platform (on 64-bit builds the record
  // cut at 200 bytes even ends before diagnosticFlag).  A size just past the
  // level-100 record shows the log: the record's callbacks are not trusted,
  // so the log goes to its default place and the report to the box.
  cmd.structSize = 200;
  EXPECT_EQ(OZ_BAD_PARAMETERS, OstranaZip(&cmd));
  std::string default_log = enginetest::default_diagnostic_log();
  std::remove(default_log.c_str());
  box.calls.clear();
  cmd.structSize = ZIPCMDSTRUCT_SIZE_L100 + 4;
  cmd.diagnosticFlag = 1;
  EXPECT_EQ(OZ_BAD_PARAMETERS, OstranaZip(&cmd));
  std::string text = read_text_file(default_log);
  EXPECT_NE(std::string::npos, text.find("--- Ostrana Secure Zip Diagnostic Log [DLL/SLL] - "));
  EXPECT_NE(std::string::npos, text.find("Function:  4 \r\n"));
  EXPECT_NE(std::string::npos, text.find("\r\nInvalid control parameters\n\r\n"));
  EXPECT_TRUE(messages.calls.empty());
  ASSERT_EQ(1u, box.calls.size());
  EXPECT_EQ("Invalid control parameters\n", box.calls[0].text);
  EXPECT_EQ("Ostrana Secure Zip Error", box.calls[0].title);
  // The thread state is not left busy.
  cmd.structSize = ZIPCMDSTRUCT_SIZE_L600;
  cmd.diagnosticFlag = 0;
  EXPECT_NE(OZ_BUSY, OstranaZip(&cmd));
}

TEST_F(ZipEntry, EveryAcceptedSizeIsTaken) {
  for (int32_t size : {ZIPCMDSTRUCT_SIZE_L100, ZIPCMDSTRUCT_SIZE_L200, ZIPCMDSTRUCT_SIZE_L300,
                       ZIPCMDSTRUCT_SIZE_L500, ZIPCMDSTRUCT_SIZE_L600}) {
    cmd.structSize = size;
    cmd.quietFlag = 1;
    // Every check passes; the operation finds nothing to add.
    EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd)) << size;
    EXPECT_GT(ostrana::zip_thread_state(false)->run.level, 0);
  }
  EXPECT_EQ(ZIPCMDSTRUCT_SIZE_L600, static_cast<int32_t>(sizeof(ZIPCMDSTRUCT)));
  EXPECT_LT(ZIPCMDSTRUCT_SIZE_L100, ZIPCMDSTRUCT_SIZE_L200);
  EXPECT_LT(ZIPCMDSTRUCT_SIZE_L300, ZIPCMDSTRUCT_SIZE_L500);
}

TEST_F(ZipEntry, FieldsBeyondTheCallersSizeReadAsZeroAndTheTitleDefaults) {
  cmd.structSize = ZIPCMDSTRUCT_SIZE_L100;
  cmd.quietFlag = 1;
  // Beyond the level-100 record: must not be seen.
  cmd.lpMessageDisplay = MessageRecorder::proc;
  cmd.wZipSubOptions = ZIP_OPT_NO_PUMP;
  cmd.LargeZIPFilesFlag = 1;
  cmd.lpszExtProgTitle = "mine";
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  const ostrana::ZipRun& run = ostrana::zip_thread_state(false)->run;
  EXPECT_EQ(100, run.level);
  EXPECT_EQ(nullptr, run.cmd.lpMessageDisplay);
  EXPECT_EQ(0, run.cmd.wZipSubOptions);
  EXPECT_EQ(0, run.cmd.LargeZIPFilesFlag);
  EXPECT_EQ("Compress Progress", run.progress_title);
  EXPECT_TRUE(messages.calls.empty());

  cmd.structSize = ZIPCMDSTRUCT_SIZE_L300;
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  EXPECT_EQ("mine", ostrana::zip_thread_state(false)->run.progress_title);
}

TEST_F(ZipEntry, ProgressTitleIsCutAt299Characters) {
  std::string title(400, 't');
  cmd.lpszExtProgTitle = title.c_str();
  cmd.quietFlag = 1;
  OstranaZip(&cmd);
  EXPECT_EQ(std::string(299, 't'), ostrana::zip_thread_state(false)->run.progress_title);
}

TEST_F(ZipEntry, ChecksComeInTheirOrderWithTheirCodesAndDetails) {
  struct Case {
    const char* what;
    std::function<void(ZIPCMDSTRUCT&)> change;
    int code;
    const char* report;
  };
  const Case cases[] = {
      {"no archive name", [](ZIPCMDSTRUCT& c) { c.lpszZIPFile = nullptr; }, 16, "Invalid control parameters\n"},
      {"reserved AES bit alone", [](ZIPCMDSTRUCT& c) { c.lZipSubOptions2 = ZIP_OPT2_RESERVED_3; }, 16,
       "Invalid control parameters\n"},
      {"no password", [](ZIPCMDSTRUCT& c) { c.encryptFlag = 1; }, 16,
       "Invalid control parameters (was getting encryption password)\n"},
      {"empty password", [](ZIPCMDSTRUCT& c) { c.encryptFlag = 1, c.lpszEncryptCode = ""; }, 16,
       "Invalid control parameters (was getting encryption password)\n"},
      {"AES strength 0",
       [](ZIPCMDSTRUCT& c) { c.encryptFlag = 1, c.lpszEncryptCode = "pw", c.lZipSubOptions2 = ZIP_OPT2_AES; },
       16, "Invalid control parameters\n"},
      {"multi-volume output on a fixed drive", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl = 0x8000; }, 20,
       "Invalid Multi-Volume control parameters\n"},
      {"function 0", [](ZIPCMDSTRUCT& c) { c.Function = 0; }, 16, "Invalid control parameters\n"},
      {"function 8", [](ZIPCMDSTRUCT& c) { c.Function = 8; }, 16, "Invalid control parameters\n"},
      {"add from callback without one", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_ADD_FROM_CALLBACK; }, 16,
       "Invalid control parameters\n"},
      {"memory to memory with an archive", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_MEMORY_TO_MEMORY; }, 16,
       "Invalid control parameters\n"},
      {"data callback required", [](ZIPCMDSTRUCT& c) { c.wZipSubOptions = ZIP_OPT_NEED_DATA_CALLBACK; }, 16,
       "Invalid control parameters\n"},
      {"bad date", [](ZIPCMDSTRUCT& c) { c.afterDateFlag = 1, c.lpszDate = "133199"; }, 16,
       "Invalid control parameters (invalid date)\n"},
      {"delete with recursion", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_DELETE, c.recurseFlag = 1; }, 16,
       "Invalid control parameters (invalid option(s) used with ZIP_DELETE)\n"},
      {"delete with a comment", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_DELETE, c.addCommentFlag = 1; }, 16,
       "Invalid control parameters (invalid option(s) used with ZIP_DELETE)\n"},
      {"everything fine", [](ZIPCMDSTRUCT&) {}, 12, "Nothing to do!\n"},
  };
  for (const Case& c : cases) {
    SetUp();
    c.change(cmd);
    EXPECT_EQ(c.code, OstranaZip(&cmd)) << c.what;
    auto shown = reports();
    ASSERT_EQ(1u, shown.size()) << c.what;
    EXPECT_EQ(c.report, shown[0].text) << c.what;
    EXPECT_EQ("Ostrana Secure Zip Error", shown[0].title) << c.what;
    EXPECT_EQ(c.code, shown[0].code) << c.what;
  }
}

TEST_F(ZipEntry, MemoryToMemoryNeedsNoArchiveButADataCallback) {
  // No input (END at once); all output taken.
  OSTRANA_CALLBACK_STRUCT callback{0, [](int direction, uint8_t*, uint32_t* length, uint32_t, uint32_t, uint32_t,
                                         uint32_t, void*, int32_t* status) {
                                     if (direction == OSTRANA_DATA_TO_ENGINE) *length = 0, *status = OSTRANA_DATA_END;
                                   },
                                   nullptr};
  cmd.Function = ZIP_MEMORY_TO_MEMORY;
  cmd.lpszZIPFile = nullptr;
  cmd.lpszItemList = "";
  cmd.lpCallbackStruct = &callback;
  cmd.quietFlag = 1;
  EXPECT_EQ(OZ_SUCCESS, OstranaZip(&cmd));  // every check passed
  EXPECT_EQ(1, ostrana::zip_thread_state(false)->run.compression.level);

  cmd.Function = ZIP_ADD_FROM_CALLBACK;
  cmd.lpszZIPFile = archive.c_str();
  cmd.lpszItemList = "entry.bin";
  EXPECT_EQ(OZ_SUCCESS, OstranaZip(&cmd));
}

TEST_F(ZipEntry, AesTakesTheStrengthFromTheLowTwoBits) {
  cmd.encryptFlag = 1;
  cmd.lpszEncryptCode = "secret";
  cmd.lZipSubOptions2 = ZIP_OPT2_AES | ZIP_OPT2_RESERVED_3;
  cmd.lSEInfo = -1;  // what the application sends: bits 0-1 give 3
  cmd.quietFlag = 1;
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));  // the settings passed; the item list names no file
  const ostrana::ZipRun& run = ostrana::zip_thread_state(false)->run;
  EXPECT_TRUE(run.aes);
  EXPECT_EQ(3, run.aes_strength);
  EXPECT_TRUE(run.aes_work.empty()) << "the run's buffers are freed before the entry returns";
}

TEST_F(ZipEntry, QuietRunsReportNothingButTheLog) {
  cmd.quietFlag = 1;
  cmd.diagnosticFlag = 1;
  cmd.Function = 0;
  EXPECT_EQ(OZ_BAD_PARAMETERS, OstranaZip(&cmd));
  EXPECT_TRUE(reports().empty());
  EXPECT_TRUE(box.calls.empty());
  EXPECT_NE(std::string::npos, read_text_file(log).find("\r\nInvalid control parameters\n\r\n"));
}

TEST_F(ZipEntry, OnlyTheFirstOfTwoFailuresIsReported) {
  // Through the entry: the operation reports 12, then the end of the run
  // reports its result again; the caller sees one report.
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  EXPECT_EQ(1u, reports().size());

  // Directly: a second report neither shows nor changes the result.
  ostrana::ZipRun run;
  run.messages.set_channel({MessageRecorder::proc, &messages});
  messages.calls.clear();
  EXPECT_EQ(OZ_READ_FAILED, ostrana::zip_report(run, OZ_READ_FAILED, "a.txt"));
  EXPECT_EQ(OZ_READ_FAILED, ostrana::zip_report(run, OZ_WRITE_FAILED, "b.txt"));
  EXPECT_EQ(OZ_READ_FAILED, run.result);
  ASSERT_EQ(1u, reports().size());
  EXPECT_EQ("Input file read failure (a.txt)\n", reports()[0].text);
}

TEST_F(ZipEntry, ReportTextIsCutAt2048CharactersBeforeTheLineEnd) {
  ostrana::ZipRun run;
  run.quiet = true;
  std::string detail(3000, 'd');
  std::string text = ostrana::zip_report_text(run.messages, OZ_NOT_FOUND, detail.c_str());
  EXPECT_EQ(2049u, text.size());
  EXPECT_EQ('\n', text.back());
  EXPECT_EQ(0u, text.find("File not found or no read permission (ddd"));
}

TEST_F(ZipEntry, NestedCallFromACallbackGivesBusyAndLeavesTheRunningCallAlone) {
  ZIPCMDSTRUCT inner;
  MessageRecorder inner_messages;
  int inner_result = -1;
  messages.on_call = [&](const DisplayCall& call) {
    if (call.type != OSTRANA_DISPLAY_ERROR || inner_result != -1) return;
    inner = cmd;
    inner.lpMessageDisplayData = &inner_messages;
    inner_result = OstranaZip(&inner);
  };
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  EXPECT_EQ(OZ_BUSY, inner_result);
  ASSERT_EQ(1u, inner_messages.shown().size());
  EXPECT_EQ("Busy, can't re-enter now\n", inner_messages.shown()[0].text);
  EXPECT_EQ(OZ_NOTHING_TO_DO, ostrana::zip_thread_state(false)->run.result);

  // A quiet nested caller hears nothing.
  inner_result = -1;
  inner_messages.calls.clear();
  messages.on_call = [&](const DisplayCall& call) {
    if (call.type != OSTRANA_DISPLAY_ERROR || inner_result != -1) return;
    inner = cmd;
    inner.quietFlag = 1;
    inner.lpMessageDisplayData = &inner_messages;
    inner_result = OstranaZip(&inner);
  };
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  EXPECT_EQ(OZ_BUSY, inner_result);
  EXPECT_TRUE(inner_messages.calls.empty());
  // And afterwards the thread is free again.
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
}

TEST_F(ZipEntry, UnzipCallsAreAllowedFromInsideAZipCallback) {
  int unzip_result = -1;
  messages.on_call = [&](const DisplayCall& call) {
    if (call.type != OSTRANA_DISPLAY_ERROR || unzip_result != -1) return;
    UNZIPCMDSTRUCT u{};
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_COUNT_ITEMS;
    u.lpszZIPFile = "/nonexistent/archive.zip";
    u.quietFlag = 1;
    unzip_result = OstranaUnzip(&u);
  };
  OstranaZip(&cmd);
  EXPECT_EQ(OU_FILE_NOT_FOUND, unzip_result);
}

TEST_F(ZipEntry, StateCannotBeReplacedFromInsideACallback) {
  int create_result = -1;
  messages.on_call = [&](const DisplayCall& call) {
    if (call.type == OSTRANA_DISPLAY_ERROR && create_result == -1) {
      create_result = OstranaZipStateCreate();
      OstranaZipStateRelease();  // ignored while busy
      OstranaEngineEnd();        // likewise for the zip state
    }
  };
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  EXPECT_EQ(OZ_BUSY, create_result);
  EXPECT_EQ(OZ_SUCCESS, OstranaZipStateCreate());
  EXPECT_EQ(0, ostrana::zip_thread_state(false)->run.level) << "a new state is empty";
  OstranaZipStateRelease();
  EXPECT_EQ(nullptr, ostrana::zip_thread_state(false));
}

TEST_F(ZipEntry, ThreadsHaveTheirOwnStates) {
  cmd.quietFlag = 1;
  EXPECT_EQ(OZ_NOTHING_TO_DO, OstranaZip(&cmd));
  ostrana::ZipThreadState* mine = ostrana::zip_thread_state(false);
  ostrana::ZipThreadState* theirs = nullptr;
  int their_result = -1;
  std::thread other([&] {
    ZIPCMDSTRUCT c = cmd;
    c.Function = 0;
    their_result = OstranaZip(&c);
    theirs = ostrana::zip_thread_state(false);
  });
  other.join();
  EXPECT_EQ(OZ_BAD_PARAMETERS, their_result);
  EXPECT_NE(mine, theirs);
  EXPECT_EQ(OZ_NOTHING_TO_DO, mine->run.result);
}

TEST(ZipArguments, CompressionFactorIsClampedAndDecoded) {
  using ostrana::decode_comp_factor;
  auto is = [](ostrana::CompressionChoice c, int method, int level) {
    return c.method == method && c.level == level;
  };
  EXPECT_TRUE(is(decode_comp_factor(-3, ZIP_ADD), 0, 0));
  EXPECT_TRUE(is(decode_comp_factor(0, ZIP_ADD), 0, 0));
  EXPECT_TRUE(is(decode_comp_factor(1, ZIP_ADD), 8, 1));
  EXPECT_TRUE(is(decode_comp_factor(9, ZIP_ADD), 8, 9));
  EXPECT_TRUE(is(decode_comp_factor(10, ZIP_ADD), 9, 1));
  EXPECT_TRUE(is(decode_comp_factor(15, ZIP_ADD), 9, 5));
  EXPECT_TRUE(is(decode_comp_factor(19, ZIP_ADD), 9, 9));
  EXPECT_TRUE(is(decode_comp_factor(25, ZIP_ADD), 9, 9));
  EXPECT_TRUE(is(decode_comp_factor(-3, ZIP_ADD_FROM_CALLBACK), 8, 1));
  EXPECT_TRUE(is(decode_comp_factor(0, ZIP_MEMORY_TO_MEMORY), 8, 1));
}

TEST_F(ZipEntry, TheEntryDecodesTheCompressionFactor) {
  cmd.quietFlag = 1;
  cmd.compFactor = 25;
  OstranaZip(&cmd);
  EXPECT_EQ(9, ostrana::zip_thread_state(false)->run.compression.method);
  EXPECT_EQ(9, ostrana::zip_thread_state(false)->run.compression.level);
  cmd.compFactor = -3;
  OstranaZip(&cmd);
  EXPECT_EQ(0, ostrana::zip_thread_state(false)->run.compression.method);
}

TEST(ZipArguments, AfterDate) {
  uint32_t dos = 0;
  ASSERT_TRUE(ostrana::parse_after_date("061510", &dos));
  EXPECT_EQ(static_cast<uint32_t>((30 << 9 | 6 << 5 | 15) << 16), dos);
  ASSERT_TRUE(ostrana::parse_after_date("123199", &dos));
  EXPECT_EQ(static_cast<uint32_t>((19 << 9 | 12 << 5 | 31) << 16), dos);
  ASSERT_TRUE(ostrana::parse_after_date("010179", &dos));  // 2079
  EXPECT_EQ(99u, dos >> 25);
  ASSERT_TRUE(ostrana::parse_after_date("070480", &dos));  // 1980
  EXPECT_EQ(static_cast<uint32_t>((0 << 9 | 7 << 5 | 4) << 16), dos);
  for (const char* bad : {"", "06151", "0615100", "001510", "131510", "060010", "063210", "06a510", "-61510"})
    EXPECT_FALSE(ostrana::parse_after_date(bad, &dos)) << bad;
  EXPECT_FALSE(ostrana::parse_after_date(nullptr, &dos));
}

TEST(ZipResultTexts, EveryCodeHasItsText) {
  EXPECT_STREQ("Success", OstranaZipResultText(0));
  EXPECT_STREQ("Invalid control parameters", OstranaZipResultText(16));
  EXPECT_STREQ("Encryption process could not complete", OstranaZipResultText(22));
  EXPECT_STREQ("Unknown error", OstranaZipResultText(23));
  EXPECT_STREQ("OZ_BAD_PARAMETERS", OstranaZipResultName(16));
  EXPECT_STREQ("?", OstranaZipResultName(99));
  for (int code = 0; code <= 40; ++code)
    EXPECT_EQ(code <= 22, std::string(OstranaZipResultName(code)) != "?") << code;
}

}  // namespace

namespace {

TEST_F(ZipEntry, AnswerTheButtonsDoNotOfferIsNotTaken) {
  // A disk request offers OK/Cancel; a callback answering Yes (6) is not
  // taken: the engine asks through its message box instead.
  ostrana::ZipRun run;
  run.messages.set_channel({MessageRecorder::proc, &messages});
  run.pump = false;
  messages.answer = [](const DisplayCall&) { return OSTRANA_ID_YES; };
  box.answer = OSTRANA_ID_CANCEL;
  EXPECT_EQ(OSTRANA_ID_CANCEL, run.display(0, OSTRANA_MB_OKCANCEL, -1, 0));
  ASSERT_EQ(1u, box.calls.size());
  EXPECT_EQ("Ostrana Secure Zip Request", box.calls[0].title);
  EXPECT_EQ(0u, box.calls[0].text.find("Please insert the first disk"));
  messages.answer = [](const DisplayCall&) { return OSTRANA_ID_OK; };
  EXPECT_EQ(OSTRANA_ID_OK, run.display(0, OSTRANA_MB_OKCANCEL, -1, 0));
  EXPECT_EQ(1u, box.calls.size());
}

int g_pumps = 0;

TEST_F(ZipEntry, EventsArePumpedUnlessOptionBit14) {
  OstranaSetPumpHook([](void*) { ++g_pumps; }, nullptr);
  g_pumps = 0;
  OstranaZip(&cmd);  // its report is shown, then events are pumped
  EXPECT_GT(g_pumps, 0);
  g_pumps = 0;
  cmd.wZipSubOptions = ZIP_OPT_NO_PUMP;
  OstranaZip(&cmd);
  EXPECT_EQ(0, g_pumps);
  OstranaSetPumpHook(nullptr, nullptr);
}

}  // namespace
