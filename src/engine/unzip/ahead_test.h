/* engine/unzip/ahead_test.h - testing the next items on worker threads.
 *
 * A test run (function 8 without a destination) expands every item and
 * checks its CRC-32, one after another, on the calling thread.  With workers,
 * the items ahead are expanded and checked by them at the same time, each
 * with its own handle on the archive, its own expander and a sink that only
 * computes the CRC-32.  When the calling thread reaches an item a worker
 * passed, it reports the item as tested (its progress from 0 to 100 percent)
 * without expanding it again; an item a worker could not pass - damaged, a
 * bad CRC, a local header that does not fit - is tested again on the calling
 * thread, so its messages and result code are exactly those of a run on one
 * thread.  A read of the archive that failed on a worker fails the item as
 * it would have failed here (2, unexpected end).  Every callback stays on
 * the calling thread.
 *
 * Only plain items of a single-volume archive are tested ahead: not
 * encrypted (no password question), a method the engine expands, at most
 * kAheadTestNbytes each (a worker's item is waited for without progress
 * reports, so it must be short).  Larger items are tested on the calling
 * thread while the workers go on with the small ones after them.
 */
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/worker_pool.h"

namespace platform {
class File;
}

namespace ostrana {

class Expander;

/// Items larger than this are tested on the calling thread.
inline constexpr uint64_t kAheadTestNbytes = 8u << 20;

class AheadTester {
 public:
  /// What a worker needs of an item (from its central directory entry).
  struct Item {
    uint64_t index = 0;  ///< the entry's number in the central directory
    uint64_t local_header_offset = 0;
    std::string raw_name;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint16_t dos_time = 0;
    uint32_t crc32 = 0;
    uint64_t compressed_nbytes = 0;
    uint64_t uncompressed_nbytes = 0;
  };

  /// Workers for @p threads threads testing items of the archive at
  /// @p archive_path; null when fewer than two threads are asked for or can be had.
  static std::unique_ptr<AheadTester> create(const std::string& archive_path, int threads);
  ~AheadTester();

  /// The items the run will test, in its order.
  void plan(std::vector<Item> items);
  enum class Verdict {
    kTestHere,    ///< not tested ahead, or it failed its test: test it on the calling thread
    kPassed,      ///< expanded whole with the right CRC-32
    kReadFailed,  ///< reading the archive failed: the item fails as a failed read does here
  };
  /// What the workers found of item @p index (waiting for it if one is at it).
  Verdict verdict(uint64_t index);

 private:
  explicit AheadTester(const std::string& archive_path, int threads);
  struct Job;
  void topUp();

  std::string m_path;
  WorkerPool m_workers;
  std::vector<std::unique_ptr<platform::File>> m_files;  // one per thread slot
  std::vector<std::unique_ptr<Expander>> m_expanders;
  std::vector<Item> m_plan;
  size_t m_planned = 0;
  std::deque<std::unique_ptr<Job>> m_ahead;
};

}  // namespace ostrana
