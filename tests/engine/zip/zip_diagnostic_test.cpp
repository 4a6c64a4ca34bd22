/* tests/engine/zip/zip_diagnostic_test.cpp - the zip side's diagnostic log.
 *
 * Risks: a dump that crashes on a garbage pointer (the log exists to debug bad
 * records), that prints a whole password or an endless volume list, that
 * reads past the end of a string lying at the end of a mapped page, or whose
 * lines no longer match what support staff compare against.
 */
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "engine_callbacks.h"
#include "ostrana.h"
#include "test_env.h"

using enginetest::BoxRecorder;
using enginetest::MessageRecorder;
using enginetest::read_text_file;

namespace {

// Two pages: the first readable, the second not.
class GuardedPages {
 public:
  GuardedPages() {
    m_page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    m_base = static_cast<char*>(mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(m_base + m_page, m_page, PROT_NONE);
  }
  ~GuardedPages() { munmap(m_base, 2 * m_page); }
  /// A string that ends (NUL included) exactly at the end of the readable page.
  const char* string_at_page_end(const std::string& s) {
    char* p = m_base + m_page - s.size() - 1;
    std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
  }
  /// Text that runs into the unreadable page without a NUL.
  const char* unterminated_at_page_end(size_t n) {
    char* p = m_base + m_page - n;
    std::memset(p, 'x', n);
    return p;
  }
  const char* unreadable() const { return m_base + m_page; }

 private:
  size_t m_page;
  char* m_base;
};

class ZipDiagnostic : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testenv::make_temp_dir("zip-diag");
    log = dir + "/diag.log";
    std::memset(&cmd, 0, sizeof cmd);
    cmd.structSize = ZIPCMDSTRUCT_SIZE_L600;
    cmd.Function = ZIP_ADD;
    cmd.lpszZIPFile = "/tmp/x.zip";
    cmd.lpszItemList = "a.txt b.txt";
    cmd.diagnosticFlag = 1;
    cmd.quietFlag = 1;
    cmd.lpMessageDisplay = MessageRecorder::proc;
    cmd.lpMessageDisplayData = &messages;
    messages.move_zip_diagnostic_log(log);
  }

  std::string run_and_read() {
    OstranaZip(&cmd);
    return read_text_file(log);
  }

  // The text of the line after the one that starts with @p label.
  static std::string line_after(const std::string& text, const std::string& label) {
    size_t at = text.rfind(label);  // the last call's dump
    if (at == std::string::npos) return "<no " + label + ">";
    size_t start = text.find("\r\n", at);
    size_t end = text.find("\r\n", start + 2);
    return text.substr(start + 2, end - start - 2);
  }

  std::string dir, log;
  ZIPCMDSTRUCT cmd;
  MessageRecorder messages;
  BoxRecorder box;
};

TEST_F(ZipDiagnostic, HeaderAndVersionLineWithTwoBlanks) {
  std::string text = run_and_read();
  std::regex header(
      "^\r\n--- Ostrana Secure Zip Diagnostic Log \\[DLL/SLL\\] - Ostrana Secure Zip Version: 6\\.00\\.00 - "
      "[01][0-9]/[0-3][0-9]/[0-9][0-9]  [0-2][0-9]:[0-5][0-9]:[0-6][0-9] ---\r\nFunction:  4 \r\n");
  EXPECT_TRUE(std::regex_search(text, header)) << text.substr(0, 200);
}

TEST_F(ZipDiagnostic, FieldsComeInTheirOrder) {
  std::string text = run_and_read();
  const char* labels[] = {
      "Function:  ", "lpszZIPFile: ", "lpszItemList: ", "lpMajorStatus: ", "lpMajorUserData: ",
      "lpMinorStatus: ", "lpMinorUserData: ", "dosifyFlag: ", "recurseFlag: ", "compFactor: ",
      "quietFlag: ", "pathForTempFlag: ", "lpszTempPath: ", "fixFlag: ", "fixHarderFlag: ",
      "includeVolumeFlag: ", "deleteOriginalFlag: ", "growExistingFlag: ", "noDirectoryNamesFlag: ",
      "convertLFtoCRLFFlag: ", "addCommentFlag: ", "lpszComment: ", "afterDateFlag: ", "lpszDate: ",
      "oldAsLatestFlag: ", "includeOnlyFollowingFlag: ", "lpszIncludeFollowing: ", "excludeFollowingFlag: ",
      "lpszExludeFollowing: ", "noDirectoryEntriesFlag: ", "includeSysHiddenFlag: ",
      "dontCompressTheseSuffixesFlag: ", "lpszStoreSuffixes: ", "encryptFlag: ", "lpszEncryptCode: ",
      "lpMessageDisplay: ", "lpMessageDisplayData: ", "wMultiVolControl: ", "wZipSubOptions: ",
      "lpCallbackStruct: ", "lResv2: ", "lpszExtProgTitle: ", "lpRenameProc: ", "lpRenameUserData: ",
      "lpMemBlock: ", "lMemBlockSize: ", "lMemBlockSizeH: ", "LargeZIPFilesFlag: ", "pulFileSizeArray: ",
      "lZipSubOptions2: ", "lpRenameProcEX: ", "lSEInfo: ", "lResv7: ", "lResv8: ", "lResv9: ",
      "lResv10: ", "lResv11: ", "lResv12: ", "lResv13: ", "lResv14: ", "lResv15: ", "lResv16: "};
  size_t at = 0;
  for (const char* label : labels) {
    size_t found = text.find(std::string("\r\n") + label, at);
    ASSERT_NE(std::string::npos, found) << label;
    at = found + 1;
  }
  EXPECT_EQ(std::string::npos, text.find("structSize")) << "structSize is not printed";
  EXPECT_EQ(std::string::npos, text.find("diagnosticFlag")) << "diagnosticFlag is not printed";
  EXPECT_EQ("a.txt b.txt", line_after(text, "lpszItemList: "));
  EXPECT_NE(std::string::npos, text.find("wZipSubOptions: 0000 \r\n"));
  EXPECT_NE(std::string::npos, text.find("lResv16: 0 \r\n\r\n"));
}

TEST_F(ZipDiagnostic, PasswordIsCutAt128Characters) {
  std::string password(200, 'p');
  cmd.encryptFlag = 1;
  cmd.lpszEncryptCode = password.c_str();
  std::string text = run_and_read();
  EXPECT_EQ(std::string(128, 'p'), line_after(text, "lpszEncryptCode: "));
}

TEST_F(ZipDiagnostic, AtMost32VolumeSizes) {
  std::vector<uint32_t> narrow(40);
  for (size_t i = 0; i < narrow.size(); ++i) narrow[i] = 1000 + static_cast<uint32_t>(i);
  cmd.pulFileSizeArray = narrow.data();
  std::string text = run_and_read();
  std::string expected = "pulFileSizeArray: ";
  for (int i = 0; i < 32; ++i) expected += (i ? " [" : "[") + std::to_string(1000 + i) + "]";
  EXPECT_NE(std::string::npos, text.find(expected + "\r\n")) << text.substr(text.find("pulFileSizeArray"), 300);

  // 64-bit sizes (wMultiVolControl bit 13), ended by a zero.
  std::vector<uint64_t> wide = {5000000000ull, 65536, 0, 7};
  cmd.pulFileSizeArray = reinterpret_cast<uint32_t*>(wide.data());
  cmd.wMultiVolControl = 0x2000;
  text = run_and_read();
  EXPECT_NE(std::string::npos, text.find("pulFileSizeArray: [5000000000] [65536]\r\n"));

  std::vector<uint64_t> many(40, 123);
  cmd.pulFileSizeArray = reinterpret_cast<uint32_t*>(many.data());
  text = run_and_read();
  size_t line = text.rfind("pulFileSizeArray: ");
  std::string sizes = text.substr(line, text.find("\r\n", line) - line);
  size_t items = 0;
  for (size_t p = sizes.find("[123]"); p != std::string::npos; p = sizes.find("[123]", p + 1)) ++items;
  EXPECT_EQ(32u, items);
}

TEST_F(ZipDiagnostic, MissingOrEmptyVolumeSizesShowZero) {
  std::string text = run_and_read();
  EXPECT_NE(std::string::npos, text.find("pulFileSizeArray:  [0]\r\n"));
  uint32_t empty[] = {0};
  cmd.pulFileSizeArray = empty;
  text = run_and_read();
  EXPECT_NE(std::string::npos, text.find("pulFileSizeArray:  [0]\r\n", text.rfind("Function:")));
}

TEST_F(ZipDiagnostic, UnreadablePointersPrintQuestionMarksAndTheRunGoesOn) {
  GuardedPages pages, other_pages;
  cmd.lpszItemList = pages.unreadable();
  cmd.lpszComment = pages.unterminated_at_page_end(10);  // no NUL before the unreadable page
  cmd.lpszTempPath = other_pages.string_at_page_end("/tmp/edge");  // ends exactly at the page end
  cmd.lpMemBlock = const_cast<char*>(pages.unreadable());
  cmd.lMemBlockSize = 10;
  cmd.pulFileSizeArray = reinterpret_cast<uint32_t*>(const_cast<char*>(pages.unreadable()));
  std::string text = run_and_read();
  EXPECT_EQ("???", line_after(text, "lpszItemList: "));
  EXPECT_EQ("???", line_after(text, "lpszComment: "));
  EXPECT_EQ("/tmp/edge", line_after(text, "lpszTempPath: "));
  EXPECT_EQ("???", line_after(text, "lpMemBlock: "));
  EXPECT_NE(std::string::npos, text.find("pulFileSizeArray: ???\r\n"));
  // The dump went on to the end, and the run to its report: a string the
  // entry needs and cannot read is a bad parameter, named in the report.
  EXPECT_NE(std::string::npos, text.find("lResv16: 0 \r\n"));
  EXPECT_NE(std::string::npos, text.find("\r\nInvalid control parameters (lpszItemList)\n\r\n"));
}

TEST_F(ZipDiagnostic, MemoryBlockDumpIsLimitedByItsSizeAnd1024Bytes) {
  std::string block(3000, 'm');
  cmd.lpMemBlock = block.data();
  cmd.lMemBlockSize = 5;
  EXPECT_EQ("mmmmm", line_after(run_and_read(), "lpMemBlock: "));
  cmd.lMemBlockSize = 3000;
  EXPECT_EQ(std::string(1024, 'm'), line_after(run_and_read(), "lpMemBlock: ").substr(0, 1025));
}

TEST_F(ZipDiagnostic, CallerMovesTheLogAndTranslatesLinesButNotTheirConversions) {
  messages.replacements.push_back({193, "Function %s broken"});       // would read a string: refused
  messages.replacements.push_back({201, "Rekursion: %d \r\n"});        // same conversions: used
  std::string text = run_and_read();
  EXPECT_NE(std::string::npos, text.find("Function:  4 \r\n"));
  EXPECT_NE(std::string::npos, text.find("Rekursion: 0 \r\n"));
  std::vector<int> offered = messages.offered_ids();
  EXPECT_NE(offered.end(), std::find(offered.begin(), offered.end(), 108)) << "the log name is offered";
}

TEST_F(ZipDiagnostic, NoLogWithoutTheFlag) {
  cmd.diagnosticFlag = 0;
  OstranaZip(&cmd);
  EXPECT_EQ("", read_text_file(log));
}

}  // namespace
