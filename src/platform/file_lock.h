/* platform/file_lock.h - advisory locks that let one run at a time update an archive.
 *
 * The locks are flock(2) locks: they belong to an open file, so they vanish
 * with the process that took them however it ends (a SIGKILL included), and
 * an archive can never stay locked by a run that is gone.  Every writer of
 * this system takes them; other programs are not held back (advisory).
 *
 * Who holds a lock is read from /proc/locks, so that a run that has to give
 * up can name the other process.  A temporary file is locked by its writer
 * for as long as it is open: a later run can tell a leftover of a killed run
 * (unlocked) from the work of a live one (locked).
 */
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class File;

/// An exclusive lock on a file or folder, held while the object lives.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  /// Tries once to lock @p path (a file or a folder; never blocks, also not
  /// on a FIFO).  @return 0; EWOULDBLOCK when another open file holds it; or errno.
  int try_lock(const std::string& path);
  void unlock();
  bool held() const { return m_fd >= 0; }
  /// The locked file's identity (valid while held).
  uint64_t device() const { return m_device; }
  uint64_t inode() const { return m_inode; }

 private:
  int m_fd = -1;
  uint64_t m_device = 0;
  uint64_t m_inode = 0;
};

/// Locks the open @p file exclusively without waiting; the lock lasts until the
/// file is closed.  @return 0, EWOULDBLOCK, or errno.
int lock_open_file(const File& file);

/// True when @p path can be locked right now (no live process holds it); the
/// lock is given back at once.
bool lock_is_free(const std::string& path);

/// The process that holds a lock on the file (@p device, @p inode), or 0 when
/// none can be told.
int lock_holder(uint64_t device, uint64_t inode);

/// The command name of process @p pid ("" when it cannot be read).
std::string process_name(int pid);

/// How long an update waits for another run's lock, in milliseconds: the
/// environment's OSTRANA_LOCK_WAIT (seconds, 0..3600), else 10 seconds.
int lock_wait_ms();

/// Waits @p ms milliseconds, less when a signal arrives (the pause between two tries of a lock).
void pause_ms(int ms);

}  // namespace platform
