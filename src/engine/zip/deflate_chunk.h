/* engine/zip/deflate_chunk.h - the inside of the compressor: one chunk through a parser into blocks.
 *
 * The compressor (deflate.cpp) cuts an entry into chunks of kChunkNbytes and
 * hands each, preceded by up to one window of the data before it, to a parser.
 * The parser finds matches in the chunk (its history included), records
 * literals and matches in the BlockWriter and decides where blocks end; the
 * compressor then ends the chunk.  A chunk is compressed from its bytes alone,
 * so chunks may be compressed in any order, on any thread, with the same
 * result.
 *
 * Two parsers: hash chains with greedy or lazy evaluation (levels 1-8,
 * deflate_chains.cpp) and binary trees with a minimum-cost path (level 9,
 * deflate_optimal.cpp).  Both end blocks by the BlockSplitter below.
 *
 * Block ending.  Every kBatch symbols the splitter compares the mix of the
 * latest symbols (literals by byte range, matches by length range) with the
 * mix of the block so far; when they differ by more than a threshold the
 * block ends there, since new trees are likely to pay for themselves.  A
 * block also ends when the symbol buffer is full or its input reaches the
 * parser's limit.
 */
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/zip/deflate_format.h"
#include "engine/zip/deflate_trees.h"

namespace ostrana::deflate {

/// Input bytes per chunk.
inline constexpr uint32_t kChunkNbytes = 1u << 20;
/// Zero bytes that follow a chunk's data, for the wide loads of the match finders.
inline constexpr uint32_t kChunkPadding = 32;

/// A chunk in memory: base[0, dict_nbytes) is history (at most one window),
/// base[dict_nbytes, dict_nbytes + nbytes) the data to compress, and
/// kChunkPadding zero bytes follow.
struct ChunkInput {
  const uint8_t* base = nullptr;
  uint32_t dict_nbytes = 0;
  uint32_t nbytes = 0;
  bool last = true;  ///< the entry ends with this chunk
};

// ---- helpers of both parsers -------------------------------------------------------

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

/// Number of equal leading bytes of @p a and @p b, at most @p max.  Reads up
/// to seven bytes past @p max (the chunk's padding covers them).
inline uint32_t matchLength(const uint8_t* a, const uint8_t* b, uint32_t max) {
  uint32_t len = 0;
  while (len < max) {
    uint64_t x = load64(a + len) ^ load64(b + len);
    if (x != 0) {
      len += static_cast<uint32_t>(__builtin_ctzll(x)) >> 3;
      return len < max ? len : max;
    }
    len += 8;
  }
  return max;
}

/// The heads both match finders start from: the latest tag of each 4-byte
/// and of each 3-byte hash.  A tag is a position in the chunk buffer plus the
/// chunk's offset, which grows from chunk to chunk by more than the chunk and
/// the farthest distance, so a tag left by an earlier chunk or entry always
/// lies out of reach and counts as "none": the heads are cleared only when the
/// offsets would overflow (every four gigabytes or so), and small files pay
/// nothing for the size of the tables.
template <class F>
struct HashHeads {
  static constexpr int kHash4Bits = 16;
  static constexpr int kHash3Bits = 12;

  HashHeads() = default;
  HashHeads(const HashHeads&) = delete;
  HashHeads& operator=(const HashHeads&) = delete;
  ~HashHeads() {
    std::free(head4);
    std::free(head3);
  }
  bool allocate() {
    if (head4 == nullptr) head4 = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) << kHash4Bits));
    if (head3 == nullptr) head3 = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) << kHash3Bits));
    return head4 != nullptr && head3 != nullptr;
  }
  /// Picks the tag offset of a chunk of @p total bytes (history included).
  void startChunk(uint32_t total) {
    const uint64_t step = uint64_t{total} + F::kMaxDist + 1;
    if (next_offset == 0 || next_offset + step > 0xFFFFFFFFu) {
      std::memset(head4, 0, sizeof(uint32_t) << kHash4Bits);
      std::memset(head3, 0, sizeof(uint32_t) << kHash3Bits);
      next_offset = 1;
    }
    offset = static_cast<uint32_t>(next_offset);
    next_offset += step;
  }
  /// The tag below the lowest one a match at @p pos may start from.
  uint32_t lowLimit(uint32_t pos) const { return offset + (pos > F::kMaxDist ? pos - F::kMaxDist : 0) - 1; }

  static uint32_t hash4(uint32_t v) { return (v * 0x1E35A7BDu) >> (32 - kHash4Bits); }
  static uint32_t hash3(uint32_t v) { return ((v << 8) * 0x9E3779B1u) >> (32 - kHash3Bits); }

  uint32_t* head4 = nullptr;
  uint32_t* head3 = nullptr;
  uint32_t offset = 0;       // of the current chunk
  uint64_t next_offset = 0;  // of the next chunk; 0: the heads hold no tags yet
};

/// Where a block should end, by the mix of its symbols (see the file comment).
class BlockSplitter {
 public:
  static constexpr uint32_t kBatch = 512;
  static constexpr uint32_t kMinBlockInput = 8192;

  void reset() {
    std::memset(this, 0, sizeof *this);
  }
  void literal(uint8_t c) {
    ++m_recent[c >> 5];
    ++m_nrecent;
  }
  void match(uint32_t len) {
    ++m_recent[len < 5 ? 8 : len < 9 ? 9 : len < 33 ? 10 : 11];
    ++m_nrecent;
  }
  bool due() const { return m_nrecent >= kBatch; }

  /// Called when due(): true when the block (with @p block_input bytes so far)
  /// should end now.  Either way the latest symbols are taken into the block's mix.
  bool shouldEnd(uint64_t block_input) {
    bool end = false;
    if (m_nblock != 0 && block_input >= kMinBlockInput) {
      uint64_t delta = 0;
      for (int i = 0; i < kClasses; ++i) {
        int64_t a = static_cast<int64_t>(m_recent[i]) * m_nblock;
        int64_t b = static_cast<int64_t>(m_block[i]) * m_nrecent;
        delta += static_cast<uint64_t>(a > b ? a - b : b - a);
      }
      // Longer blocks need a smaller difference: their trees cost less per symbol
      // but fit the new symbols worse.
      uint64_t scale = static_cast<uint64_t>(m_nblock) * m_nrecent;
      end = delta * 1024 + scale * (block_input >> 12) > scale * kThreshold;
    }
    if (end) {
      reset();
    } else {
      for (int i = 0; i < kClasses; ++i) {
        m_block[i] += m_recent[i];
        m_recent[i] = 0;
      }
      m_nblock += m_nrecent;
      m_nrecent = 0;
    }
    return end;
  }

 private:
  static constexpr int kClasses = 12;
  static constexpr uint64_t kThreshold = 400;  // of 1024: the share of symbols that moved
  uint32_t m_block[kClasses];
  uint32_t m_recent[kClasses];
  uint32_t m_nblock;
  uint32_t m_nrecent;
};

// ---- the parsers ------------------------------------------------------------------------

/// One parser of one format; kept by the compressor and reused for every chunk.
class ChunkParser {
 public:
  virtual ~ChunkParser() = default;
  /// Allocates the work memory; on failure returns the detail text.
  virtual const char* allocate() = 0;
  /// Parses @p chunk at level @p config into @p blocks: flushes every block,
  /// the last one final when chunk.last.  Polls @p stop (may be null) between
  /// blocks.  @return 0, the sink's code, or OZ_INTERRUPTED when stopped.
  virtual int parse(const ChunkInput& chunk, const LevelConfig& config, BlockWriter& blocks,
                    const std::atomic<bool>* stop) = 0;
};

std::unique_ptr<ChunkParser> makeChainParser(bool is64);
std::unique_ptr<ChunkParser> makeOptimalParser(bool is64);

}  // namespace ostrana::deflate
