/* engine/unzip/output_stage.h - where an item's expanded bytes go.
 *
 * The expander hands the output stage one buffer at a time.  The stage keeps
 * the CRC-32 and the count of the item's bytes (for the check after the
 * item), then passes the bytes on to the item's target:
 *   - nothing (testing),
 *   - a file (a write that fails is 50, "Disk full"),
 *   - the caller's memory block (file to memory): the bytes before the
 *     starting offset are dropped, the rest copied up to the block's size;
 *     an item that does not fit stops with 50 once the block is full, an item
 *     that ends exactly at the block's end is complete,
 *   - the archive-data callback (direction 1; file to callback and memory to
 *     memory), with the same starting offset and, when a size is given, the
 *     same limit as a block.
 * In text mode every LF byte goes out as CR LF (the CRC and the starting
 * offset count the item's own bytes).
 */
#pragma once

#include <cstdint>
#include <vector>

#include "engine/common/byte_stream.h"
#include "ostrana_callbacks.h"
#include "platform/file.h"

namespace ostrana {

class OutputStage final : public ByteSink {
 public:
  enum class Target { kDiscard, kFile, kMemory, kCallback };

  struct Setup {
    Target target = Target::kDiscard;
    bool text_mode = false;
    platform::File* file = nullptr;       ///< kFile
    uint8_t* block = nullptr;             ///< kMemory
    uint64_t limit_nbytes = 0;            ///< kMemory: the block's size; kCallback: 0 = no limit
    uint64_t starting_offset = 0;         ///< kMemory, kCallback: item bytes dropped first
    OSTRANA_DATA_PROC proc = nullptr;     ///< kCallback
    void* proc_user = nullptr;
  };

  /// Starts an item.
  void start(const Setup& setup);

  int write(const uint8_t* data, size_t nbytes) override;

  uint32_t crc32() const { return m_crc; }
  /// The item's bytes seen so far (before text conversion and the offset).
  uint64_t item_nbytes() const { return m_item_nbytes; }
  /// Bytes given to the target (after the offset and text conversion).
  uint64_t delivered_nbytes() const { return m_delivered; }

 private:
  int deliver(const uint8_t* data, size_t nbytes);
  int to_callback(const uint8_t* data, size_t nbytes);

  Setup m_setup;
  uint32_t m_crc = 0;
  uint64_t m_item_nbytes = 0;
  uint64_t m_skip = 0;
  uint64_t m_delivered = 0;
  std::vector<uint8_t> m_scratch;  ///< the text conversion's output
  std::vector<uint8_t> m_copy;     ///< what the callback gets (it may write to it)
};

/// Calls the archive-data callback once and maps its status: 0 when the bytes
/// moved (3), 2 when the caller said the data ended (0), 48 when it cancelled
/// (2), 5 for any other status.  @p length in: bytes asked or offered; out:
/// bytes moved (never more than asked).
int call_data_proc(OSTRANA_DATA_PROC proc, void* user, int direction, uint8_t* buffer, uint32_t* length,
                   uint64_t position);

}  // namespace ostrana
