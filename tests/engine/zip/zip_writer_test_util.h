/* tests/engine/zip/zip_writer_test_util.h - a zip run in a folder of its own, for the writer's tests.
 *
 * Each test gets a fresh temporary folder as the current folder (restored
 * afterwards), a record with the message recorder attached, and helpers to
 * make files, run the zip entry and look at what it wrote.
 */
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine_callbacks.h"
#include "ostrana.h"
#include "zip_walk.h"

namespace writertest {

/// True when @p path names anything.
bool exists(const std::string& path);
/// The size of @p path in bytes, or -1 when it is missing.
int64_t file_size(const std::string& path);
/// @p n bytes that do not compress (a seeded generator: the same seed, the same bytes).
std::string noise(size_t n, uint32_t seed);

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// A record for @p function on "a.zip" with @p items, level 6.
  ZIPCMDSTRUCT record(int function, const char* items);
  /// Runs @p cmd (the recorder's calls are cleared first).
  int run(ZIPCMDSTRUCT& cmd);
  /// record() then run().
  int zip(int function, const char* items);

  /// Writes @p text to @p path (folders created); sets its time when @p mtime is not 0.
  void put(const std::string& path, const std::string& text, int64_t mtime = 0);
  std::vector<uint8_t> bytes(const std::string& path) const;
  std::vector<testenv::WalkedItem> entries(const std::string& archive = "a.zip") const;
  std::vector<std::string> names(const std::string& archive = "a.zip") const;
  /// The texts shown with display type @p type.
  std::vector<std::string> shown(int type) const;
  /// The files of the current folder whose name begins with "@@".
  std::vector<std::string> temp_files(const std::string& folder = ".") const;

  std::string dir;
  std::string old_cwd;
  enginetest::MessageRecorder messages;
  enginetest::BoxRecorder box;
};

}  // namespace writertest
