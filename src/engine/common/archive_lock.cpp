/* engine/common/archive_lock.cpp - the update lock of an archive, with a bounded wait. */
#include "engine/common/archive_lock.h"

#include <cerrno>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/folders.h"

namespace ostrana {
namespace {

constexpr int kPauseMs = 50;

/// What to lock: the archive when it exists, else the nearest folder above it that does.
std::string lock_target(const std::string& archive_path, bool* is_archive_ret) {
  *is_archive_ret = platform::path_entry_exists(archive_path);
  if (*is_archive_ret) return archive_path;
  std::string folder = platform::parent_folder(archive_path);
  while (!folder.empty() && folder != "/" && !platform::path_entry_exists(folder))
    folder = platform::parent_folder(folder);
  return folder.empty() ? "." : folder;
}

/// "ARCHIVE is being updated by process 4711 (ostrana)".
std::string holder_text(const std::string& archive_path, const std::string& target) {
  std::string text = archive_path + " is being updated by ";
  platform::FileInfo info;
  const int pid = platform::file_info(target, &info) == 0 ? platform::lock_holder(info.device, info.inode) : 0;
  if (pid == 0) return text + "another process";
  text += "process " + std::to_string(pid);
  const std::string name = platform::process_name(pid);
  return name.empty() ? text : text + " (" + name + ")";
}

}  // namespace

ArchiveLockResult lock_archive_for_update(const std::string& archive_path, platform::FileLock* lock,
                                          const ArchiveLockHooks& hooks, std::string* text_ret) {
  const int wait_ms = platform::lock_wait_ms();
  const int64_t deadline = platform::monotonic_ms() + wait_ms;
  bool announced = false;
  for (;;) {
    bool is_archive = false;
    const std::string target = lock_target(archive_path, &is_archive);
    const int err = lock->try_lock(target);
    if (err == 0) {
      // Still what the path names?  Otherwise try again on what it names now.
      platform::FileInfo now;
      const bool archive_now = platform::path_entry_exists(archive_path);
      if (is_archive ? platform::file_info(archive_path, &now) == 0 && now.device == lock->device() &&
                           now.inode == lock->inode()
                     : !archive_now)
        return ArchiveLockResult::kLocked;
      lock->unlock();
    } else if (err != EWOULDBLOCK) {
      return ArchiveLockResult::kLocked;  // cannot be locked here at all: as before locks existed
    } else {
      if (platform::monotonic_ms() >= deadline) {
        *text_ret = holder_text(archive_path, target) + "; waited " + std::to_string(wait_ms / 1000) + " s";
        return ArchiveLockResult::kBusy;
      }
      if (!announced && hooks.waiting) hooks.waiting(holder_text(archive_path, target) + "; waiting");
      announced = true;
      if (hooks.cancelled && hooks.cancelled()) return ArchiveLockResult::kCancelled;
      platform::pause_ms(kPauseMs);
    }
    if (platform::monotonic_ms() >= deadline + wait_ms) {  // the path keeps changing under us
      *text_ret = archive_path + " keeps changing while its lock is taken";
      return ArchiveLockResult::kBusy;
    }
  }
}

}  // namespace ostrana
