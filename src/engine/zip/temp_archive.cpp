/* engine/zip/temp_archive.cpp - the temporary archive and how it replaces the old one. */
#include "engine/zip/temp_archive.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "ostrana_results.h"
#include "platform/file_lock.h"
#include "platform/folder_search.h"
#include "platform/folders.h"
#include "platform/output_tree.h"
#include "platform/thread_id.h"

namespace ostrana {
namespace {

constexpr char kTempCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
constexpr uint64_t kTempCharacterCount = 37;
constexpr size_t kCopyBlock = 256 * 1024;

std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

/// Copies @p from into the open @p to.  @return 0, 11 or 14.
int copy_file_contents(platform::File& from, platform::File& to) {
  std::vector<uint8_t> block(kCopyBlock);
  for (;;) {
    std::ptrdiff_t n = from.read(block.data(), block.size());
    if (n < 0) return OZ_READ_FAILED;
    if (n == 0) return 0;
    if (to.write(block.data(), static_cast<size_t>(n)) != 0) return OZ_WRITE_FAILED;
  }
}

}  // namespace

std::string temp_archive_name(uint64_t thread_id, char letter) {
  char name[16];
  std::snprintf(name, sizeof name, "@@%c%c%c%05u", kTempCharacters[thread_id % kTempCharacterCount],
                kTempCharacters[(thread_id / kTempCharacterCount) % kTempCharacterCount], letter,
                static_cast<unsigned>(thread_id % 100000));
  return std::string(name);
}

int create_temp_archive(const std::string& folder, platform::File* file_ret, std::string* path_ret,
                        bool unnamed_ok) {
  if (platform::make_folder_path(folder) != 0) return OZ_CREATE_FAILED;
  if (unnamed_ok && file_ret->open_unnamed(folder) == 0) {
    platform::lock_open_file(*file_ret);
    path_ret->clear();
    return OZ_SUCCESS;
  }
  const uint64_t tid = platform::current_thread_id();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string path = in_folder(folder, temp_archive_name(tid, letter));
    int err = file_ret->open(path, platform::File::Mode::kCreateExclusive, 0666);
    if (err == EEXIST) continue;
    if (err != 0) return OZ_TEMP_FAILED;
    platform::lock_open_file(*file_ret);  // tells later runs that its writer lives
    *path_ret = path;
    return OZ_SUCCESS;
  }
  return OZ_OUT_OF_MEMORY;
}

int name_temp_archive(const std::string& folder, platform::File* file, std::string* path_ret) {
  const uint64_t tid = platform::current_thread_id();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string path = in_folder(folder, temp_archive_name(tid, letter));
    int err = file->link_as(path);
    if (err == EEXIST) continue;
    if (err != 0) return OZ_TEMP_FAILED;
    *path_ret = path;
    return OZ_SUCCESS;
  }
  return OZ_TEMP_FAILED;
}

bool is_temp_archive_name(const std::string& name) {
  // "@@", two of the 37 characters, a letter a..z, five digits.
  auto in_set = [](char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || ch == '_'; };
  if (name.size() != 10 || name[0] != '@' || name[1] != '@') return false;
  if (!in_set(name[2]) || !in_set(name[3]) || name[4] < 'a' || name[4] > 'z') return false;
  for (size_t i = 5; i < 10; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

int remove_leftover_temp_archives(const std::string& folder) {
  platform::FolderSearch search;
  if (search.open(folder) != 0) return 0;
  int removed = 0;
  platform::FolderEntry e;
  while (search.next("@@*", false, &e)) {
    if (!is_temp_archive_name(e.name) || !platform::lock_is_free(e.path)) continue;
    if (platform::remove_file(e.path) == 0) ++removed;
  }
  return removed;
}

int replace_archive(const std::string& temp_path, const std::string& archive_path, int mode) {
  const std::string archive_folder = platform::parent_folder(archive_path);
  if (mode >= 0) platform::set_file_mode(temp_path, static_cast<unsigned>(mode));
  int err = platform::rename_path(temp_path, archive_path);
  if (err == 0) {
    platform::sync_folder(archive_folder);
    return OZ_SUCCESS;
  }
  if (err != EXDEV) return OZ_CREATE_FAILED;

  // Another file system: a complete copy beside the archive first, then the
  // same atomic rename.
  platform::File from;
  if (from.open(temp_path, platform::File::Mode::kRead) != 0) return OZ_TEMP_FAILED;
  platform::File copy;
  std::string copy_path;
  if (create_temp_archive(archive_folder, &copy, &copy_path) != 0) return OZ_CREATE_FAILED;
  int rc = copy_file_contents(from, copy);
  if (rc == 0 && copy.sync() != 0) rc = OZ_WRITE_FAILED;
  if (copy.close() != 0 && rc == 0) rc = OZ_WRITE_FAILED;
  if (rc == 0 && mode >= 0) platform::set_file_mode(copy_path, static_cast<unsigned>(mode));
  if (rc == 0 && platform::rename_path(copy_path, archive_path) != 0) rc = OZ_CREATE_FAILED;
  if (rc != 0) {
    platform::remove_file(copy_path);
    return rc;
  }
  platform::sync_folder(archive_folder);
  from.close();
  platform::remove_file(temp_path);
  return OZ_SUCCESS;
}

}  // namespace ostrana
