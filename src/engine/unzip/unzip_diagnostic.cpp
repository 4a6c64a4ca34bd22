/* engine/unzip/unzip_diagnostic.cpp - the unzip side's diagnostic log: a dump of the command record.
 *
 * Written at the start of an unzip call when diagnosticFlag is set, from the
 * full record (fields beyond the caller's size read as zero, so the dump never
 * reads past the caller's record), or for a record of an unknown size from as
 * much of it as could be read.  Strings are dumped up to a limit per field;
 * the password never beyond 65 characters.  The whole dump is one write.
 */
#include "engine/common/diagnostic_dump.h"
#include "engine/common/text_log.h"
#include "engine/unzip/unzip_run.h"

namespace ostrana {
namespace {

constexpr size_t kPathDump = 2048;
constexpr size_t kFilespecDump = 20000;
constexpr size_t kReturnStringDump = 4096;
constexpr size_t kPasswordDump = 65;
constexpr size_t kTitleDump = 1024;

}  // namespace

void unzip_write_diagnostic_log(UnzipRun& run, const UNZIPCMDSTRUCT& r) {
  MessageBook& book = run.messages;
  DiagnosticDump d(book);
  LogTimestamp now = log_timestamp_now();
  std::string version = book.format(kUnzipMsgVersion, 1, now.date.c_str(), now.time.c_str());
  d.add("\r\n");
  d.add(book.format(kUnzipMsgDiagnosticHeader, 0, version.c_str()));

  d.int_line(kUdFunction, r.Function);
  d.pointer_line(kUdZipFile, r.lpszZIPFile);
  d.string_dump(r.lpszZIPFile, kPathDump);
  d.pointer_line(kUdZInfo, r.zInfo);
  d.pointer_line(kUdFilespec, r.lpszFilespec);
  d.string_dump(r.lpszFilespec, kFilespecDump);
  d.int_line(kUdIndex, r.index);
  d.pointer_line(kUdDestination, r.lpszDestination);
  d.string_dump(r.lpszDestination, kPathDump);
  d.int_line(kUdFreshen, r.freshenFlag);
  d.int_line(kUdUpdate, r.updateFlag);
  d.int_line(kUdOverwrite, r.overWriteFlag);
  d.int_line(kUdQuiet, r.quietFlag);
  d.int_line(kUdTest, r.testFlag);
  d.int_line(kUdNoDirectoryNames, r.noDirectoryNamesFlag);
  d.int_line(kUdRecurse, r.recurseFlag);
  d.int_line(kUdNoDirectoryItems, r.noDirectoryItemsFlag);
  d.function_line(kUdMinorStatus, r.lpMinorStatus);
  d.pointer_line(kUdMinorUserData, r.lpMinorUserData);
  d.function_line(kUdMajorStatus, r.lpMajorStatus);
  d.pointer_line(kUdMajorUserData, r.lpMajorUserData);
  d.int_line(kUdReturnCount, r.returnCount);
  d.pointer_line(kUdReturnString, r.lpszReturnString);
  d.string_dump(r.lpszReturnString, kReturnStringDump);
  d.int_line(kUdDecrypt, r.decryptFlag);
  d.pointer_line(kUdDecryptCode, r.lpszDecryptCode);
  d.string_dump(r.lpszDecryptCode, kPasswordDump);
  d.function_line(kUdMessageDisplay, r.lpMessageDisplay);
  d.pointer_line(kUdMessageDisplayData, r.lpMessageDisplayData);
  d.word_line(kUdSubOptions, r.wUnzipSubOptions);
  d.pointer_line(kUdCallbackStruct, r.lpCallbackStruct);
  d.pointer_line(kUdExtProgTitle, r.lpszExtProgTitle);
  d.string_dump(r.lpszExtProgTitle, kTitleDump);
  d.function_line(kUdRenameProc, r.lpRenameProc);
  d.pointer_line(kUdRenameUserData, r.lpRenameUserData);
  d.pointer_line(kUdMemBlock, r.lpMemBlock);
  d.long_line(kUdMemBlockSize, static_cast<long>(r.lMemBlockSize));
  d.long_line(kUdMemBlockSizeH, static_cast<long>(r.lMemBlockSizeH));
  d.long_line(kUdStartingOffset, static_cast<long>(r.lStartingOffset));
  d.long_line(kUdStartingOffsetH, static_cast<long>(r.lStartingOffsetH));
  d.pointer_line(kUdZipInfoEx, r.pZipInfoEx);
  d.hex_line(kUdSubOptions2, r.lUnZipSubOptions2);
  d.function_line(kUdRenameProcEX, r.lpRenameProcEX);
  d.long_line(kUdResv7, r.lResv7);
  d.long_line(kUdResv8, r.lResv8);
  d.add("\r\n");

  run.append_diagnostic(d.text());
}

}  // namespace ostrana
