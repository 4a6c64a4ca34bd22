/* cli/info_commands.cpp - `ostrana list`, `ostrana comment` and `ostrana count`.
 *
 * All three read the archive through the unzip entry's information functions
 * (count, next item, count matches, comment length and comment), and only
 * through the public C interface.  Output goes to stdout in a form meant for
 * scripts: one item per line, tab-separated fields, plain numbers.
 */
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal.h"
#include "cli/unzip_session.h"
#include "ostrana.h"

namespace cli {

int run_list(const std::vector<std::string>& words, const CommandLine&) {
  UnzipSession session(words[0]);
  UNZIPCMDSTRUCT count = session.record(UNZIP_COUNT_ITEMS);
  if (int rc = session.run(&count)) {
    session.print_error(rc);
    return rc;
  }
  uint64_t total_size = 0;
  uint64_t total_compressed = 0;
  for (int32_t i = 0; i < count.returnCount; ++i) {
    pZipInfoEx info{};
    UNZIPCMDSTRUCT next = session.record(UNZIP_NEXT_ITEM_INFO);
    next.pZipInfoEx = &info;
    if (int rc = session.run(&next)) {
      session.print_error(rc);
      return rc;
    }
    char crc[OSTRANA_LISTING_TEXT_SIZE];
    char attributes[OSTRANA_LISTING_TEXT_SIZE];
    char encryption[OSTRANA_LISTING_TEXT_SIZE];
    OstranaCrcText(info.dwCRC32, crc, sizeof crc);
    OstranaAttributeText(info.lAttributes, attributes, sizeof attributes);
    OstranaEncryptionText((info.lAttributes & OSTRANA_ATTR_ENCRYPTED) != 0, info.lEncryptionClass, encryption,
                          sizeof encryption);
    std::printf("%" PRId32 "\t%s\t%" PRIu64 "\t%" PRIu64 "\t%s\t%s\t%s\t%s\t%s\n", info.lIndex,
                printable(info.szFileName).c_str(), info.qwUncompressedSize, info.qwCompressedSize,
                OstranaMethodName(info.wMethod), crc, info.szDate, attributes, encryption);
    total_size += info.qwUncompressedSize;
    total_compressed += info.qwCompressedSize;
  }
  char ratio[OSTRANA_LISTING_TEXT_SIZE];
  OstranaRatioText(OstranaRatioPerMille(total_size, total_compressed), ratio, sizeof ratio);
  std::printf("total\t%" PRId32 " items\t%" PRIu64 "\t%" PRIu64 "\t%s\n", count.returnCount, total_size,
              total_compressed, ratio);
  return std::fflush(stdout) == 0 ? 0 : OU_DISK_FULL;
}

int run_comment(const std::vector<std::string>& words, const CommandLine&) {
  UnzipSession session(words[0]);
  UNZIPCMDSTRUCT size = session.record(UNZIP_COMMENT_SIZE);
  if (int rc = session.run(&size)) {
    session.print_error(rc);
    return rc;
  }
  std::vector<char> buffer(static_cast<size_t>(size.returnCount) + 1);
  UNZIPCMDSTRUCT text = session.record(UNZIP_COMMENT);
  text.lpszReturnString = buffer.data();
  text.returnCount = size.returnCount;
  if (int rc = session.run(&text)) {
    session.print_error(rc);
    return rc;
  }
  size_t n = static_cast<size_t>(text.returnCount);
  std::fwrite(buffer.data(), 1, n, stdout);
  if (n > 0 && buffer[n - 1] != '\n') std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? 0 : OU_DISK_FULL;
}

int run_count(const std::vector<std::string>& words, const CommandLine& line) {
  UnzipSession session(words[0]);
  std::vector<std::string> patterns(words.begin() + 1, words.end());
  std::string filespec = filespec_of(patterns);
  UNZIPCMDSTRUCT cmd = session.record(patterns.empty() ? UNZIP_COUNT_ITEMS : UNZIP_COUNT_MATCHES);
  cmd.lpszFilespec = patterns.empty() ? nullptr : filespec.c_str();
  cmd.recurseFlag = line.has(Opt::kRecurse) ? 1 : 0;
  if (int rc = session.run(&cmd)) {
    session.print_error(rc);
    return rc;
  }
  std::printf("%" PRId32 "\n", cmd.returnCount);
  return std::fflush(stdout) == 0 ? 0 : OU_DISK_FULL;
}

}  // namespace cli
