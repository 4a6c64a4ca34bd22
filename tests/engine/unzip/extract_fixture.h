/* tests/engine/unzip/extract_fixture.h - an extraction call and a scratch folder, for the extraction tests. */
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine_callbacks.h"
#include "ostrana.h"
#include "peer_run.h"
#include "test_env.h"
#include "zip_builder.h"

namespace extracttest {

inline testzip::Entry stored(const std::string& name, const std::string& text = "data") {
  return testzip::stored_entry(name, text);
}

class ExtractFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testenv::make_temp_dir("extract");
    dest = dir + "/out";
    ::mkdir(dest.c_str(), 0777);
    archive = dir + "/test.zip";
    std::memset(&cmd, 0, sizeof cmd);
    cmd.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    cmd.Function = UNZIP_EXTRACT;
    cmd.lpszZIPFile = archive.c_str();
    cmd.index = -1;
    cmd.lpszDestination = dest.c_str();
    cmd.lpMessageDisplay = enginetest::MessageRecorder::proc;
    cmd.lpMessageDisplayData = &messages;
    cmd.recurseFlag = 1;
    cmd.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
  }

  void write_archive(const testzip::Archive& a) { testenv::write_file(archive, a.build()); }
  void write_archive(const std::vector<testzip::Entry>& entries) {
    testzip::Archive a;
    a.entries = entries;
    write_archive(a);
  }

  /// Function 8 with @p filespec (recursion on unless the test turned it off).
  int extract(const char* filespec) {
    cmd.lpszFilespec = filespec;
    return OstranaUnzip(&cmd);
  }

  /// The content of @p relative below the destination, or "<missing>".
  std::string content(const std::string& relative) const {
    struct stat st;
    std::string path = dest + "/" + relative;
    if (::lstat(path.c_str(), &st) != 0) return "<missing>";
    if (S_ISDIR(st.st_mode)) return "<folder>";
    if (S_ISLNK(st.st_mode)) return "<link>";
    return enginetest::read_text_file(path);
  }

  /// The shown calls of display @p type.
  std::vector<enginetest::DisplayCall> shown(int type) const {
    std::vector<enginetest::DisplayCall> out;
    for (const auto& c : messages.shown())
      if (c.type == type) out.push_back(c);
    return out;
  }

  std::string dir, dest, archive;
  UNZIPCMDSTRUCT cmd;
  enginetest::MessageRecorder messages;
  enginetest::BoxRecorder box;
};

}  // namespace extracttest
