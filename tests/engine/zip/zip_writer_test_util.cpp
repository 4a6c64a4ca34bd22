/* tests/engine/zip/zip_writer_test_util.cpp - a zip run in a folder of its own. */
#include "zip_writer_test_util.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "peer_run.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/output_tree.h"
#include "test_env.h"

namespace writertest {

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

int64_t file_size(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::string noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

void WriterTest::SetUp() {
  dir = testenv::make_temp_dir("writer");
  char buf[4096];
  old_cwd = getcwd(buf, sizeof buf) ? buf : "/";
  ASSERT_EQ(0, chdir(dir.c_str()));
}

void WriterTest::TearDown() { (void)chdir(old_cwd.c_str()); }

ZIPCMDSTRUCT WriterTest::record(int function, const char* items) {
  ZIPCMDSTRUCT cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.structSize = ZIPCMDSTRUCT_SIZE_L600;
  cmd.Function = function;
  cmd.lpszZIPFile = "a.zip";
  cmd.lpszItemList = items;
  cmd.compFactor = 6;
  cmd.lpMessageDisplay = enginetest::MessageRecorder::proc;
  cmd.lpMessageDisplayData = &messages;
  cmd.wZipSubOptions = ZIP_OPT_NO_PUMP;
  return cmd;
}

int WriterTest::run(ZIPCMDSTRUCT& cmd) {
  messages.calls.clear();
  return OstranaZip(&cmd);
}

int WriterTest::zip(int function, const char* items) {
  ZIPCMDSTRUCT cmd = record(function, items);
  return run(cmd);
}

void WriterTest::put(const std::string& path, const std::string& text, int64_t mtime) {
  platform::make_folder_path(platform::parent_folder(path));
  testenv::write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
  if (mtime != 0) platform::set_file_mtime(path, mtime);
}

std::vector<uint8_t> WriterTest::bytes(const std::string& path) const { return testenv::read_file(path); }

std::vector<testenv::WalkedItem> WriterTest::entries(const std::string& archive) const {
  return testenv::walk_zip(bytes(archive));
}

std::vector<std::string> WriterTest::names(const std::string& archive) const {
  std::vector<std::string> out;
  for (const auto& e : entries(archive)) out.push_back(e.name);
  return out;
}

std::vector<std::string> WriterTest::shown(int type) const {
  std::vector<std::string> out;
  for (const auto& c : messages.shown())
    if (c.type == type) out.push_back(c.text);
  return out;
}

std::vector<std::string> WriterTest::temp_files(const std::string& folder) const {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return out;
  while (dirent* e = readdir(d))
    if (std::strncmp(e->d_name, "@@", 2) == 0) out.push_back(e->d_name);
  closedir(d);
  return out;
}

}  // namespace writertest
