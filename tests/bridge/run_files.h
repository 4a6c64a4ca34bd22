/* tests/bridge/run_files.h - files with known bytes and times for the bridge's engine runs.
 *
 * The run tests make source trees and destination folders whose files carry
 * chosen modification times (odd seconds, so the 2-second DOS time is
 * exercised) and read trees back as name -> (bytes, time) for comparison.
 */
#pragma once

#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "peer_run.h"
#include "zip_builder.h"

namespace bridgetest {

namespace fs = std::filesystem;

// A local time with odd seconds: DOS times keep 2-second steps.
inline time_t sample_time(int minute) {
  std::tm tm{};
  tm.tm_year = 2015 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 4;
  tm.tm_hour = 5;
  tm.tm_min = minute;
  tm.tm_sec = 7;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

inline void write_file_at(const std::string& path, const std::vector<uint8_t>& bytes, time_t mtime) {
  fs::create_directories(fs::path(path).parent_path());
  testenv::write_file(path, bytes);
  utimbuf times{mtime, mtime};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

inline std::vector<uint8_t> pattern_bytes(size_t n, unsigned seed) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<uint8_t>(i % 7 == 0 ? (x >> 24) : 'a' + i % 23);  // compressible, not trivial
  }
  return out;
}

struct FileFacts {
  std::vector<uint8_t> bytes;
  time_t mtime = 0;
};

// Every regular file under @p root by its path relative to @p root.
inline std::map<std::string, FileFacts> tree_of(const std::string& root) {
  std::map<std::string, FileFacts> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    struct stat st{};
    stat(e.path().c_str(), &st);
    out[fs::relative(e.path(), root).string()] = {testenv::read_file(e.path()), st.st_mtime};
  }
  return out;
}

// An archive of stored entries named @p names, each holding its own name.
inline std::string stored_archive(const std::string& dir, const std::vector<std::string>& names) {
  testzip::Archive archive;
  for (const std::string& n : names) archive.entries.push_back(testzip::stored_entry(n, "new " + n));
  const std::string path = dir + "/in.zip";
  testenv::write_file(path, archive.build());
  return path;
}

}  // namespace bridgetest
