/* engine/common/archive_lock.h - one run at a time updates an archive.
 *
 * A run that changes an archive holds an advisory lock for the whole update:
 * on the archive itself when it exists, on the folder it will be made in when
 * it does not (platform/file_lock.h).  A second run on the same archive waits
 * a bounded time (platform::lock_wait_ms()) and then gives up with a text
 * that names the archive and the process holding it.
 *
 * The archive is replaced by a rename, so a run that waited on the old file
 * may get the lock of a file that is no longer the archive; and a run that
 * locked the folder may find that the archive came into being meanwhile.
 * Both check again after every lock and try anew on what the path names now.
 */
#pragma once

#include <functional>
#include <string>

#include "platform/file_lock.h"

namespace ostrana {

enum class ArchiveLockResult {
  kLocked,     ///< held (or not lockable at all here, e.g. an unreadable folder: the run goes on as before)
  kBusy,       ///< another run held it all the time; *text_ret names the archive and the process
  kCancelled   ///< @p cancelled said stop while waiting
};

struct ArchiveLockHooks {
  std::function<void(const std::string&)> waiting;  ///< once, when the wait begins (a text for the user)
  std::function<bool()> cancelled;                  ///< polled between tries
};

ArchiveLockResult lock_archive_for_update(const std::string& archive_path, platform::FileLock* lock,
                                          const ArchiveLockHooks& hooks, std::string* text_ret);

}  // namespace ostrana
