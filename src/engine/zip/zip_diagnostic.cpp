/* engine/zip/zip_diagnostic.cpp - the zip side's diagnostic log: a dump of the command record.
 *
 * Written at the start of a zip call when diagnosticFlag is set, from the full
 * record (or, for a record of an unknown size, from as much of it as could be
 * read).  Every line's format is a message of the zip table, so the log can be
 * translated or moved like any other text.  Strings are dumped up to a limit
 * per field; the password never beyond 128 characters and the volume sizes
 * never beyond 32 values.  The whole dump is appended in one write.
 */
#include <cinttypes>
#include <cstdio>

#include "engine/common/diagnostic_dump.h"
#include "engine/common/text_log.h"
#include "engine/zip/zip_run.h"
#include "platform/memory_probe.h"

namespace ostrana {
namespace {

constexpr size_t kPathDump = 2048;
constexpr size_t kItemListDump = 20000;
constexpr size_t kListDump = 4096;
constexpr size_t kDateDump = 32;
constexpr size_t kPasswordDump = 128;
constexpr size_t kTitleDump = 1024;
constexpr size_t kMemBlockDump = 1024;
constexpr int kMaxVolumeSizes = 32;
constexpr uint16_t kMultiVol64BitSizes = 0x2000;  // wMultiVolControl bit 13

// "pulFileSizeArray: " and the sizes on the same line.
std::string volume_sizes_line(MessageBook& book, const ZIPCMDSTRUCT& r) {
  std::string line = book.text(240, 0);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::string sizes;
  char item[64];
  if (r.pulFileSizeArray != nullptr) {
    const bool wide = (r.wMultiVolControl & kMultiVol64BitSizes) != 0;
    for (int i = 0; i < kMaxVolumeSizes; ++i) {
      uint64_t size = 0;
      bool readable;
      if (wide) {
        readable = platform::copy_readable(reinterpret_cast<const uint64_t*>(r.pulFileSizeArray) + i,
                                           sizeof size, &size);
      } else {
        uint32_t narrow = 0;
        readable = platform::copy_readable(r.pulFileSizeArray + i, sizeof narrow, &narrow);
        size = narrow;
      }
      if (!readable) {
        if (i == 0) return line + "???\r\n";
        break;
      }
      if (size == 0) break;
      if (!sizes.empty()) sizes += " ";
      if (wide) {
        char decimal[32];
        std::snprintf(decimal, sizeof decimal, "%" PRIu64, size);
        sizes += book.format(kZipMsgVolumeSizeItem, 1, decimal);
      } else {
        std::snprintf(item, sizeof item, "[%ld]", static_cast<long>(size));
        sizes += item;
      }
    }
  }
  if (sizes.empty()) {
    std::snprintf(item, sizeof item, " [%ld]", 0L);
    sizes = item;
  }
  return line + sizes + "\r\n";
}

}  // namespace

void zip_write_diagnostic_log(ZipRun& run, const ZIPCMDSTRUCT& r) {
  MessageBook& book = run.messages;
  DiagnosticDump d(book);
  LogTimestamp now = log_timestamp_now();
  std::string version = book.format(kZipMsgVersion, 1, now.date.c_str(), now.time.c_str());
  d.add("\r\n");
  d.add(book.format(kZipMsgDiagnosticHeader, 0, version.c_str()));

  d.int_line(193, r.Function);
  d.pointer_line(194, r.lpszZIPFile);
  d.string_dump(r.lpszZIPFile, kPathDump);
  d.pointer_line(195, r.lpszItemList);
  d.string_dump(r.lpszItemList, kItemListDump);

  d.function_line(196, r.lpMajorStatus);
  d.pointer_line(197, r.lpMajorUserData);
  d.function_line(198, r.lpMinorStatus);
  d.pointer_line(199, r.lpMinorUserData);
  d.int_line(200, r.dosifyFlag);
  d.int_line(201, r.recurseFlag);
  d.int_line(202, r.compFactor);
  d.int_line(203, r.quietFlag);
  d.int_line(204, r.pathForTempFlag);
  d.pointer_line(205, r.lpszTempPath);
  d.string_dump(r.lpszTempPath, kPathDump);

  d.int_line(206, r.fixFlag);
  d.int_line(207, r.fixHarderFlag);
  d.int_line(208, r.includeVolumeFlag);
  d.int_line(209, r.deleteOriginalFlag);
  d.int_line(210, r.growExistingFlag);
  d.int_line(211, r.noDirectoryNamesFlag);
  d.int_line(212, r.convertLFtoCRLFFlag);
  d.int_line(213, r.addCommentFlag);
  d.pointer_line(214, r.lpszComment);
  d.string_dump(r.lpszComment, kListDump);

  d.int_line(215, r.afterDateFlag);
  d.pointer_line(216, r.lpszDate);
  d.string_dump(r.lpszDate, kDateDump);
  d.int_line(217, r.oldAsLatestFlag);
  d.int_line(218, r.includeOnlyFollowingFlag);
  d.pointer_line(219, r.lpszIncludeFollowing);
  d.string_dump(r.lpszIncludeFollowing, kListDump);
  d.int_line(220, r.excludeFollowingFlag);
  d.pointer_line(221, r.lpszExludeFollowing);
  d.string_dump(r.lpszExludeFollowing, kListDump);
  d.int_line(222, r.noDirectoryEntriesFlag);
  d.int_line(223, r.includeSysHiddenFlag);
  d.int_line(224, r.dontCompressTheseSuffixesFlag);
  d.pointer_line(225, r.lpszStoreSuffixes);
  d.string_dump(r.lpszStoreSuffixes, kListDump);

  d.int_line(226, r.encryptFlag);
  d.pointer_line(227, r.lpszEncryptCode);
  d.string_dump(r.lpszEncryptCode, kPasswordDump);
  d.function_line(228, r.lpMessageDisplay);
  d.pointer_line(229, r.lpMessageDisplayData);
  d.word_line(230, r.wMultiVolControl);
  d.word_line(231, r.wZipSubOptions);
  d.pointer_line(232, r.lpCallbackStruct);
  d.long_line(233, r.lResv2);
  d.pointer_line(234, r.lpszExtProgTitle);
  d.string_dump(r.lpszExtProgTitle, kTitleDump);
  d.function_line(235, r.lpRenameProc);
  d.pointer_line(236, r.lpRenameUserData);

  d.pointer_line(237, r.lpMemBlock);
  uint64_t block_nbytes = (static_cast<uint64_t>(r.lMemBlockSizeH) << 32) | r.lMemBlockSize;
  if (r.lpMemBlock == nullptr) d.add("???\r\n");
  else d.block_dump(r.lpMemBlock, block_nbytes < kMemBlockDump ? block_nbytes : kMemBlockDump);
  d.long_line(238, static_cast<long>(r.lMemBlockSize));
  d.long_line(242, static_cast<long>(r.lMemBlockSizeH));
  d.int_line(239, r.LargeZIPFilesFlag);
  d.add(volume_sizes_line(book, r));

  d.hex_line(247, r.lZipSubOptions2);
  d.function_line(243, r.lpRenameProcEX);
  d.long_line(244, r.lSEInfo);
  d.long_line(245, r.lResv7);
  d.long_line(246, r.lResv8);
  const int32_t reserved[] = {r.lResv9,  r.lResv10, r.lResv11, r.lResv12,
                              r.lResv13, r.lResv14, r.lResv15, r.lResv16};
  for (int i = 0; i < 8; ++i) d.long_line(750 + i, reserved[i]);
  d.add("\r\n");

  run.append_diagnostic(d.text());
}

}  // namespace ostrana
