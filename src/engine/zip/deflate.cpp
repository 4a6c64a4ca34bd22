/* engine/zip/deflate.cpp - match finding for the deflate and Deflate64 compressors.
 *
 * The window buffer holds the input around the current position.  `head` maps
 * a hash of the bytes at a position to the most recent earlier position with
 * that hash, and `prev` chains each position to the previous one with the same
 * hash.  Levels 1 and 2 chain positions by their next three bytes.  From level
 * 3 on positions are chained by their next four bytes, which keeps the chains
 * free of candidates that cannot give more than three bytes, and one more table
 * beside the chains holds the last position of each 3-byte hash, from which
 * three-byte matches come.  With the same chain limits from the level table,
 * the searches then look at more useful candidates.
 *
 * Positions are offsets into the buffer, 0 meaning "none" (the byte at offset 0
 * is never offered as a match: a negligible loss that keeps the arrays small).
 * When the position reaches W + max distance, the buffer's upper part moves
 * down by W and every stored position drops by W (those that fall below zero
 * become "none"), then more input is read.  An entry that fits the buffer
 * whole uses hash tables sized to it, so that small files do not pay for
 * clearing the full tables.
 *
 * The hashes are multiplicative over one 4-byte load.  Matches are compared
 * eight bytes at a time; the buffer has spare zero bytes behind its end so that
 * those loads never leave it.  A candidate is first tested on the four bytes
 * that end just past the current best length, which rejects most candidates
 * with one load.
 */
#include "engine/zip/deflate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/zip/deflate_format.h"
#include "engine/zip/deflate_trees.h"
#include "ostrana_results.h"

namespace ostrana {

using namespace deflate;

// ---- methods, levels, flags ------------------------------------------------------------

CompressionChoice compressionForFactor(int comp_factor) {
  int f = std::clamp(comp_factor, 0, 19);
  if (f == 0) return {kMethodStored, 0};
  if (f <= 9) return {kMethodDeflate, f};
  return {kMethodDeflate64, std::max(1, f - 10)};
}

uint16_t deflateFlagBits(int method, int level) {
  int l = std::clamp(level, 1, 9);
  if (method == kMethodDeflate) return l == 1 ? 0x0004 : l == 9 ? 0x0002 : 0;
  if (method == kMethodDeflate64) return l <= 2 ? 0x0004 : l >= 8 ? 0x0002 : 0;
  return 0;
}

namespace {

constexpr int kBufferPadding = 16;  // zero bytes behind the buffer for the wide loads
// Levels 1 and 2 look at so few candidates that chains of 3-byte hashes find
// more; from level 3 on, chains of 4-byte hashes plus the 3-byte table are
// faster at the same size.
constexpr int kFirstLevelWithFourByteChains = 3;

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

/// Number of equal leading bytes of @p a and @p b, at most @p max.  Reads up to
/// seven bytes past @p max.
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

}  // namespace

// ---- the match finder, one per format ------------------------------------------------------

template <class F>
class Matcher {
 public:
  using Pos = typename F::Pos;
  static constexpr uint32_t kWMask = F::kWindow - 1;
  static constexpr uint32_t kHashSize = 1u << F::kHashBits;    // chain heads
  static constexpr uint32_t kHash3Size = 1u << F::kHash3Bits;  // last position of each 3-byte hash
  static constexpr uint32_t kHeads = kHashSize + kHash3Size;

  /// What one position's hashes lead to: the head of its 4-byte chain and the
  /// last position with the same 3-byte hash.
  struct Candidates {
    uint32_t chain;
    uint32_t three;
  };

  Matcher() = default;
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;
  ~Matcher() {
    std::free(m_window);
    std::free(m_head);
    std::free(m_prev);
  }

  /// Allocates the work memory; on failure returns the detail text.
  const char* allocate() {
    if (m_window == nullptr) {
      m_window = static_cast<uint8_t*>(std::calloc(F::kBufferSize + kBufferPadding, 1));
      if (m_window == nullptr) return "window allocation";
    }
    if (m_head == nullptr) m_head = static_cast<Pos*>(std::calloc(kHeads, sizeof(Pos)));
    if (m_prev == nullptr) m_prev = static_cast<Pos*>(std::calloc(F::kWindow, sizeof(Pos)));
    if (m_head == nullptr || m_prev == nullptr) return "hash table allocation";
    if (!m_blocks.allocate(F::kIs64)) return "ct_init: out of memory";
    return nullptr;
  }

  int run(ByteSource& in, ByteSink& out, const DeflateOptions& options, DeflateResult& result) {
    m_level = std::clamp(options.level, 1, 9);
    m_config = kLevelTable[m_level];
    m_in = &in;
    m_pos = m_fill = 0;
    m_blockStart = 0;
    m_eof = false;
    m_error = 0;
    m_totalIn = 0;
    if (!fill()) return m_error;
    clearHashes();
    BlockPolicy policy;
    policy.allow_stored_entry = options.allow_stored_entry;
    policy.allow_stored_blocks = options.allow_stored_blocks;
    policy.allow_fixed_blocks = options.allow_fixed_blocks;
    m_blocks.startEntry(m_level, policy, &out);

    int rc;
    if (m_level > kLastFastLevel) rc = compressLazy();
    else if (m_level >= kFirstLevelWithFourByteChains) rc = compressFast<4>();
    else rc = compressFast<3>();
    result.in_nbytes = m_totalIn;
    result.out_nbytes = m_blocks.outputNbytes();
    result.stored_entry = m_blocks.storedEntry();
    return rc;
  }

 private:
  /// Enters position @p pos into its chain: chains of 3-byte hashes, or chains
  /// of 4-byte hashes plus the 3-byte table.
  template <int kChainBytes>
  Candidates insert(uint32_t pos) {
    uint32_t v = load32(m_window + pos);
    uint32_t h3 = ((v << 8) * 0x9E3779B1u) >> (kChainBytes == 3 ? m_hashShift : m_hash3Shift);
    if (kChainBytes == 3) {
      Candidates c{m_head[h3], 0};
      m_prev[pos & kWMask] = static_cast<Pos>(c.chain);
      m_head[h3] = static_cast<Pos>(pos);
      return c;
    }
    uint32_t h4 = (v * 0x1E35A7BDu) >> m_hashShift;
    Candidates c{m_head[h4], m_head[kHashSize + h3]};
    m_prev[pos & kWMask] = static_cast<Pos>(c.chain);
    m_head[h4] = static_cast<Pos>(pos);
    m_head[kHashSize + h3] = static_cast<Pos>(pos);
    return c;
  }

  /// Empties the hash tables for a new entry.  An entry that fits the buffer
  /// whole uses tables sized to it (at least twice as many heads as positions),
  /// so that a small entry does not pay for clearing the full tables.
  void clearHashes() {
    int bits = F::kHashBits;
    if (m_eof) {
      bits = 10;
      while (bits < F::kHashBits && (1u << (bits - 1)) < m_fill) ++bits;
    }
    int bits3 = bits < F::kHash3Bits ? bits : F::kHash3Bits;
    m_hashShift = 32 - bits;
    m_hash3Shift = 32 - bits3;
    std::memset(m_head, 0, (size_t{1} << bits) * sizeof(Pos));
    std::memset(m_head + kHashSize, 0, (size_t{1} << bits3) * sizeof(Pos));
  }

  /// Moves the upper part of the buffer down by one window.
  void slide() {
    std::memmove(m_window, m_window + F::kWindow, m_fill - F::kWindow);
    m_pos -= F::kWindow;
    m_fill -= F::kWindow;
    m_blockStart -= F::kWindow;
    for (uint32_t i = 0; i < kHeads; ++i) {
      uint32_t v = m_head[i];
      m_head[i] = static_cast<Pos>(v >= F::kWindow ? v - F::kWindow : 0);
    }
    for (uint32_t i = 0; i < F::kWindow; ++i) {
      uint32_t v = m_prev[i];
      m_prev[i] = static_cast<Pos>(v >= F::kWindow ? v - F::kWindow : 0);
    }
  }

  /// Makes at least the minimum lookahead available unless the input ends.
  /// @return false on a read failure (m_error is set).
  bool fill() {
    if (m_pos >= F::kWindow + F::kMaxDist) slide();
    while (m_fill < F::kBufferSize) {
      std::ptrdiff_t n = m_in->read(m_window + m_fill, F::kBufferSize - m_fill);
      if (n < 0) {
        m_error = m_in->error() != 0 ? m_in->error() : OZ_READ_FAILED;
        return false;
      }
      if (n == 0) {
        m_eof = true;
        std::memset(m_window + m_fill, 0, kBufferPadding);  // same bytes behind the end every time
        break;
      }
      m_fill += static_cast<uint32_t>(n);
      m_totalIn += static_cast<uint64_t>(n);
    }
    return true;
  }

  /// Longest match at @p pos (with @p fill bytes in the buffer) longer than
  /// @p best: with 4-byte chains first the last position with the same 3-byte
  /// hash (when nothing of 3 is held yet), then the chain.  Sets @p start_ret
  /// when it finds one.
  template <int kChainBytes>
  uint32_t longestMatch(uint32_t pos, uint32_t fill, Candidates c, uint32_t best, uint32_t& start_ret) const {
    const uint8_t* const win = m_window;
    const uint8_t* const cur = win + pos;
    const uint32_t lookahead = fill - pos;
    const uint32_t max_len = lookahead < F::kMaxMatch ? lookahead : F::kMaxMatch;
    if (best >= max_len) return best;
    const uint32_t nice = m_config.nice_length < max_len ? m_config.nice_length : max_len;
    const uint32_t limit = pos > F::kMaxDist ? pos - F::kMaxDist : 0;
    const uint32_t first4 = load32(cur);

    if (kChainBytes == 4 && best < kMinMatch && c.three > limit &&
        ((load32(win + c.three) ^ first4) & 0xFFFFFFu) == 0) {
      best = kMinMatch + matchLength(win + c.three + 3, cur + 3, max_len - 3);
      start_ret = c.three;
      if (best >= nice) return best;
    }
    uint32_t cand = c.chain;
    if (cand <= limit || max_len < kChainBytes) return best;
    uint32_t chain = m_config.max_chain;
    if (best >= m_config.good_length) chain >>= 2;
    const Pos* const prev = m_prev;
    // Each candidate is tested first on the four bytes that end just past the
    // current best length, then on its first kChainBytes bytes.
    constexpr uint32_t kPrefixMask = kChainBytes == 4 ? 0xFFFFFFFFu : 0xFFFFFFu;
    const uint32_t prefix = first4 & kPrefixMask;
    uint32_t end_off = best >= 3 ? best - 3 : 0;
    uint32_t end_mask = best >= 3 ? 0xFFFFFFFFu : kPrefixMask;
    uint32_t end4 = load32(cur + end_off) & end_mask;
    do {
      const uint8_t* m = win + cand;
      if ((load32(m + end_off) & end_mask) == end4 && (load32(m) & kPrefixMask) == prefix) {
        uint32_t len = kChainBytes + matchLength(m + kChainBytes, cur + kChainBytes, max_len - kChainBytes);
        if (len > best) {
          best = len;
          start_ret = cand;
          if (len >= nice) break;
          end_off = best - 3;
          end_mask = 0xFFFFFFFFu;
          end4 = load32(cur + end_off);
        }
      }
      cand = prev[cand & kWMask];
    } while (cand > limit && --chain != 0);
    return best;
  }

  /// Ends the current block; the next one starts where this one's input ends.
  int endBlock(bool last) {
    const uint8_t* data = m_blockStart >= 0 ? m_window + m_blockStart : nullptr;
    int64_t next = m_blockStart + static_cast<int64_t>(m_blocks.blockInput());
    int rc = m_blocks.flushBlock(data, last);
    m_blockStart = next;
    return rc;
  }

  /// Levels 1-3: every match of three or more bytes is taken at once.
  /// The position and fill level live in locals within the loop (the block
  /// writer's counters could otherwise alias them) and go back to the members
  /// around fill() and endBlock().
  template <int kChainBytes>
  int compressFast() {
    const uint32_t max_insert = m_config.max_lazy;
    const uint8_t* const win = m_window;
    uint32_t pos = m_pos, fill = m_fill;
    for (;;) {
      if (fill - pos < F::kMinLookahead && !m_eof) {
        m_pos = pos;
        if (!this->fill()) return m_error;
        pos = m_pos;
        fill = m_fill;
      }
      uint32_t lookahead = fill - pos;
      if (lookahead == 0) break;
      uint32_t len = 0, start = 0;
      if (lookahead >= kMinMatch) {
        Candidates c = insert<kChainBytes>(pos);
        uint32_t limit = pos > F::kMaxDist ? pos - F::kMaxDist : 0;
        if (c.chain > limit || c.three > limit)
          len = longestMatch<kChainBytes>(pos, fill, c, kMinMatch - 1, start);
      }
      bool full;
      if (len >= kMinMatch) {
        full = m_blocks.tallyMatch(pos - start, len);
        if (len <= max_insert && lookahead - len >= kMinMatch) {
          for (uint32_t i = 1; i < len; ++i) insert<kChainBytes>(pos + i);
        }
        pos += len;
      } else {
        full = m_blocks.tallyLiteral(win[pos]);
        ++pos;
      }
      if (full) {
        m_pos = pos;
        if (int rc = endBlock(false)) return rc;
      }
    }
    m_pos = pos;
    return endBlock(true);
  }

  /// Levels 4-9: a match is held back one position in case the next is longer.
  int compressLazy() {
    const uint8_t* const win = m_window;
    const uint32_t max_lazy = m_config.max_lazy;
    uint32_t pos = m_pos, fill = m_fill;
    uint32_t match_len = kMinMatch - 1;
    uint32_t match_start = 0;
    bool held_literal = false;
    for (;;) {
      if (fill - pos < F::kMinLookahead && !m_eof) {
        m_pos = pos;
        if (!this->fill()) return m_error;
        match_start -= pos - m_pos;  // the held match moved with the window
        pos = m_pos;
        fill = m_fill;
      }
      uint32_t lookahead = fill - pos;
      if (lookahead == 0) break;

      Candidates c = lookahead >= kMinMatch ? insert<4>(pos) : Candidates{0, 0};
      const uint32_t prev_len = match_len;
      const uint32_t prev_start = match_start;
      match_len = kMinMatch - 1;
      uint32_t limit = pos > F::kMaxDist ? pos - F::kMaxDist : 0;
      if ((c.chain > limit || c.three > limit) && prev_len < max_lazy) {
        uint32_t start = 0;
        uint32_t len = longestMatch<4>(pos, fill, c, prev_len, start);
        if (len > prev_len && !(len == kMinMatch && pos - start > kTooFar)) {
          match_len = len;
          match_start = start;
        }
      }

      if (prev_len >= kMinMatch && match_len <= prev_len) {
        // Emit the held match (it started one position back).
        const uint32_t match_pos = pos - 1;
        bool full = m_blocks.tallyMatch(match_pos - prev_start, prev_len);
        const uint32_t end = match_pos + prev_len;
        const uint32_t insert_end = fill - kMinMatch;  // last position with three bytes
        const uint32_t stop = end - 1 < insert_end ? end - 1 : insert_end;
        for (uint32_t p = pos + 1; p <= stop; ++p) insert<4>(p);
        pos = end;
        held_literal = false;
        match_len = kMinMatch - 1;
        if (full) {
          m_pos = pos;
          if (int rc = endBlock(false)) return rc;
        }
      } else if (held_literal) {
        bool full = m_blocks.tallyLiteral(win[pos - 1]);
        ++pos;
        if (full) {
          m_pos = pos;
          if (int rc = endBlock(false)) return rc;
        }
      } else {
        held_literal = true;
        ++pos;
      }
    }
    if (held_literal) m_blocks.tallyLiteral(win[pos - 1]);
    m_pos = pos;
    return endBlock(true);
  }

  uint8_t* m_window = nullptr;
  Pos* m_head = nullptr;
  Pos* m_prev = nullptr;
  BlockWriter m_blocks;

  int m_level = 6;
  LevelConfig m_config = kLevelTable[6];
  ByteSource* m_in = nullptr;
  uint32_t m_pos = 0;
  uint32_t m_fill = 0;
  int m_hashShift = 32 - F::kHashBits;    // 32 - bits of the chain hash in use
  int m_hash3Shift = 32 - F::kHash3Bits;  // 32 - bits of the 3-byte table in use
  int64_t m_blockStart = 0;  // negative once the block's start has left the buffer
  bool m_eof = false;
  int m_error = 0;
  uint64_t m_totalIn = 0;
};

// ---- the compressor ---------------------------------------------------------------------------

struct DeflateCompressor::Impl {
  std::unique_ptr<Matcher<Format32>> deflate;
  std::unique_ptr<Matcher<Format64>> deflate64;
};

DeflateCompressor::DeflateCompressor() = default;
DeflateCompressor::~DeflateCompressor() = default;

void DeflateCompressor::release() { m_impl.reset(); }

namespace {

template <class F>
int runWith(std::unique_ptr<Matcher<F>>& matcher, ByteSource& in, ByteSink& out,
            const DeflateOptions& options, DeflateResult& result) {
  if (!matcher) {
    matcher.reset(new (std::nothrow) Matcher<F>);
    if (!matcher) {
      result.detail = "window allocation";
      return OZ_OUT_OF_MEMORY;
    }
  }
  if (const char* detail = matcher->allocate()) {
    result.detail = detail;
    matcher.reset();
    return OZ_OUT_OF_MEMORY;
  }
  return matcher->run(in, out, options, result);
}

}  // namespace

int DeflateCompressor::compress(ByteSource& in, ByteSink& out, const DeflateOptions& options,
                                DeflateResult* result_ret) {
  DeflateResult result;
  int rc;
  if (!m_impl) m_impl.reset(new (std::nothrow) Impl);
  if (!m_impl) {
    result.detail = "window allocation";
    rc = OZ_OUT_OF_MEMORY;
  } else if (options.deflate64) {
    rc = runWith(m_impl->deflate64, in, out, options, result);
  } else {
    rc = runWith(m_impl->deflate, in, out, options, result);
  }
  if (result_ret) *result_ret = result;
  return rc;
}

}  // namespace ostrana
