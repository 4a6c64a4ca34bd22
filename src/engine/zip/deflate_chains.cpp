/* engine/zip/deflate_chains.cpp - hash chains with greedy and lazy parsing (levels 1-8).
 *
 * Match finding.  `head4` maps a hash of the four bytes at a position to the
 * latest position with that hash, and `prev` chains each position to the one
 * before it with the same hash; `head3` holds the latest position of each
 * 3-byte hash, from which three-byte matches come (the chains, being of four
 * bytes, never offer them).  The tables hold tags (HashHeads, deflate_chunk.h),
 * so they are never cleared between chunks.  A chain slot is indexed by tag
 * modulo the window, and a candidate is used only while it lies within the
 * farthest distance, so a slot overwritten by a newer position is never read
 * for an older one.
 *
 * A candidate is tested first on the four bytes that end just past the
 * current best length, then on its first four bytes, which rejects most
 * candidates with two loads; the match is then measured eight bytes at a time.
 *
 * Parsing.  Greedy (levels 1 and 3) takes every match at once.  Lazy (2, 4-7)
 * holds a match back while the next position offers a longer one; lazy2 (8)
 * also looks two positions ahead.  The lazy parsers of levels 5-8 enter every
 * position a match covers into all tables; the light lazy rows (2 and 4: a
 * row's `lazy` set) look ahead only past matches shorter than it and, as the
 * greedy parsers do, enter the positions a match covers into the 4-byte heads
 * and chains alone.  The fastest level (parseFast: two candidates, the search
 * unrolled) enters only the first positions of a match.  A three-byte match
 * farther back than kTooFar counts as none.
 *
 * Data that does not compress.  After a run of positions without a match the
 * greedy parsers and the light lazy rows search every second position, then every third and so on
 * (missed()); the positions passed over become literals and go into the
 * 4-byte heads and chains unsearched, so a repeat is still found, and the
 * first match ends the run.  Incompressible entries - archives, pictures,
 * packed media - then cost about three fifths of a search at every
 * position, for well under a thousandth more output on mixed data.
 */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/zip/deflate_chunk.h"
#include "ostrana_results.h"

namespace ostrana::deflate {

namespace {

/// A block of the chain parsers holds at most this much input.
constexpr uint64_t kMaxBlockInput = 300000;

template <class F>
class ChainParser final : public ChunkParser {
 public:
  static constexpr uint32_t kWMask = F::kWindow - 1;
  using Heads = HashHeads<F>;

  ~ChainParser() override { std::free(m_prev); }

  const char* allocate() override {
    if (m_prev == nullptr) m_prev = static_cast<uint32_t*>(std::calloc(F::kWindow, sizeof(uint32_t)));
    return m_heads.allocate() && m_prev ? nullptr : "hash table allocation";
  }

  int parse(const ChunkInput& chunk, const LevelConfig& config, BlockWriter& blocks,
            const std::atomic<bool>* stop) override {
    m_base = chunk.base;
    m_start = chunk.dict_nbytes;
    m_end = chunk.dict_nbytes + chunk.nbytes;
    m_hashEnd = m_end >= 4 ? m_end - 3 : 0;  // positions below have four real bytes
    m_last = chunk.last;
    m_blocks = &blocks;
    m_stop = stop;
    m_blockStart = m_start;
    m_splitter.reset();
    m_heads.startChunk(m_end);
    const Tables t = tables();
    for (uint32_t p = 0; p < m_start && p < m_hashEnd; ++p) insert(t, p);
    int rc;
    switch (config.parse) {
      case Parse::kGreedy:
        rc = config.depth == 2 ? parseFast(config) : config.depth > 1 ? parseGreedy<true>(config) : parseGreedy<false>(config);
        break;
      case Parse::kLazy: rc = config.lazy != 0 ? parseLazy<false, true>(config) : parseLazy<false, false>(config); break;
      default: rc = parseLazy<true, false>(config); break;
    }
    if (rc != 0) return rc;
    return blocks.flushBlock(m_base + m_blockStart, m_last);
  }

 private:
  struct Candidates {
    uint32_t c4;
    uint32_t c3;
  };

  /// The tables, copied into the parse loops so that their pointers and
  /// shifts stay in registers (the table stores could otherwise alias them).
  struct Tables {
    const uint8_t* base;
    uint32_t offset;
    uint32_t* head4;
    uint32_t* head3;
    uint32_t* prev;
  };
  Tables tables() const { return Tables{m_base, m_heads.offset, m_heads.head4, m_heads.head3, m_prev}; }

  /// Enters position @p pos (below m_hashEnd) and returns the tags its hashes
  /// led to.  Without chains (a search depth of one) only the heads are kept.
  template <bool kChains = true>
  static __attribute__((always_inline)) Candidates insert(const Tables& t, uint32_t pos) {
    uint32_t v = load32(t.base + pos);
    uint32_t h4 = Heads::hash4(v);
    uint32_t h3 = Heads::hash3(v);
    const uint32_t tag = pos + t.offset;
    // The next position's heads are needed next: start loading them now.
    uint32_t w = load32(t.base + pos + 1);
    __builtin_prefetch(&t.head4[Heads::hash4(w)], 1);
    __builtin_prefetch(&t.head3[Heads::hash3(w)], 1);
    Candidates c{t.head4[h4], t.head3[h3]};
    if (kChains) t.prev[tag & kWMask] = c.c4;
    t.head4[h4] = tag;
    t.head3[h3] = tag;
    return c;
  }

  /// The tag below the lowest one a match at @p pos may start from.
  static uint32_t lowLimit(const Tables& t, uint32_t pos) {
    return t.offset + (pos > F::kMaxDist ? pos - F::kMaxDist : 0) - 1;  // as HashHeads::lowLimit
  }

  /// Longest match at @p pos longer than @p best, looking at up to @p depth
  /// chain candidates; sets @p dist_ret when it finds one.
  __attribute__((always_inline)) uint32_t search(const Tables& t, uint32_t pos, Candidates c, uint32_t best, uint32_t depth, uint32_t nice,
                  uint32_t& dist_ret) const {
    const uint8_t* const base = t.base;
    const uint8_t* const cur = base + pos;
    const uint32_t left = m_end - pos;
    const uint32_t max_len = left < F::kMaxMatch ? left : F::kMaxMatch;
    if (best >= max_len) return best;
    if (nice > max_len) nice = max_len;
    const uint32_t lo = lowLimit(t, pos);
    const uint32_t tag = pos + t.offset;
    const uint32_t first4 = load32(cur);

    uint32_t cand = c.c4;
    if (cand > lo && max_len >= 4) {
      const uint32_t* const prev = t.prev;
      const uint8_t* const tagged_base = cur - tag;  // tagged_base + tag of a candidate = its bytes
      uint32_t end_off = best >= 3 ? best - 3 : 0;
      uint32_t end4 = load32(cur + end_off);
      do {
        const uint8_t* m = tagged_base + cand;
        if (load32(m + end_off) == end4 && load32(m) == first4) {
          uint32_t len = 4 + matchLength(m + 4, cur + 4, max_len - 4);
          if (len > best) {
            best = len;
            dist_ret = tag - cand;
            if (len >= nice) return best;
            end_off = best - 3;
            end4 = load32(cur + end_off);
          }
        }
      } while (--depth != 0 && (cand = prev[cand & kWMask]) > lo);
    }
    // No match of four: the latest position with the same three bytes.
    if (best < kMinMatch && c.c3 > lo && tag - c.c3 <= kTooFar &&
        ((load32(cur - (tag - c.c3)) ^ first4) & 0xFFFFFFu) == 0) {
      best = kMinMatch;
      dist_ret = tag - c.c3;
    }
    return best;
  }

  /// The match at @p pos (entered into the chains here), 0 when there is none.
  template <bool kChains = true>
  __attribute__((always_inline)) uint32_t find(const Tables& t, uint32_t pos, uint32_t best,
                                               uint32_t depth, uint32_t nice, uint32_t& dist_ret) {
    Candidates c = insert<kChains>(t, pos);
    const uint32_t lo = lowLimit(t, pos);
    if (c.c4 <= lo && c.c3 <= lo) return 0;
    uint32_t len = search(t, pos, c, best, depth, nice, dist_ret);
    return len > best ? len : 0;
  }

  template <bool kChains = true>
  static __attribute__((always_inline)) void enterRange(const Tables& t, uint32_t from,
                                                       uint32_t to, uint32_t hash_end) {
    if (to > hash_end) to = hash_end;
    for (uint32_t p = from; p < to; ++p) insert<kChains>(t, p);
  }

  /// After each symbol: ends the block when it is full or the splitter says so.
  /// @return 0, or the code that stops the parse.
  __attribute__((always_inline)) int afterSymbol(bool full, uint32_t pos) {
    if (__builtin_expect(!full && !m_splitter.due(), 1)) return 0;
    return blockCheck(full, pos);
  }

  __attribute__((noinline)) int blockCheck(bool full, uint32_t pos) {
    if (!full && m_blocks->blockInput() < kMaxBlockInput && !m_splitter.shouldEnd(m_blocks->blockInput()))
      return 0;
    if (pos >= m_end) return 0;  // the block at the end is flushed by parse()
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) return OZ_INTERRUPTED;
    int rc = m_blocks->flushBlock(m_base + m_blockStart, false);
    m_blockStart = pos;
    m_splitter.reset();
    return rc;
  }

  __attribute__((always_inline)) int literal(uint32_t pos) {
    uint8_t c = m_base[pos];
    m_splitter.literal(c);
    return afterSymbol(m_blocks->tallyLiteral(c), pos + 1);
  }
  __attribute__((always_inline)) int match(uint32_t pos, uint32_t len, uint32_t dist) {
    m_splitter.match(len);
    return afterSymbol(m_blocks->tallyMatch(dist, len), pos + len);
  }

  /// Positions looked at in a row without finding a match, past which the
  /// greedy parsers search only some positions (data that does not
  /// compress): every second, then one position fewer for every
  /// 2^kSkipShift further misses, down to one in kSkipMax.  The positions
  /// passed over become literals and are entered into the 4-byte heads and
  /// chains as those inside a match are, so a repeat of the data is found
  /// at its first searched position.
  static constexpr uint32_t kSkipAfter = 32;
  static constexpr int kSkipShift = 4;
  static constexpr uint32_t kSkipMax = 32;

  /// Enters @p p into the 4-byte heads (and, with @p kChains, the chains) alone.
  template <bool kChains>
  static __attribute__((always_inline)) void enter4(const Tables& t, uint32_t p) {
    const uint32_t h = Heads::hash4(load32(t.base + p));
    if (kChains) t.prev[(p + t.offset) & kWMask] = t.head4[h];
    t.head4[h] = p + t.offset;
  }

  /// The literal at @p pos, which offered no match, and the positions after
  /// it that a long run of @p misses passes over (none at or past @p limit).
  template <bool kChains>
  __attribute__((always_inline)) int missed(const Tables& t, uint32_t& pos, uint32_t& misses, uint32_t limit) {
    uint32_t step = ++misses > kSkipAfter ? 1 + ((misses - kSkipAfter) >> kSkipShift) : 1;
    if (step > kSkipMax) step = kSkipMax;
    if (step > limit - pos) step = limit - pos;
    if (int rc = literal(pos)) return rc;
    for (const uint32_t to = pos++ + step; pos < to; ++pos) {
      enter4<kChains>(t, pos);
      if (int rc = literal(pos)) return rc;
    }
    return 0;
  }

  template <bool kChains>
  int parseGreedy(const LevelConfig& config) {
    const Tables t = tables();
    const uint32_t end = m_end, hash_end = m_hashEnd;
    const uint32_t depth = config.depth, nice = config.nice, enter_max = config.good;
    uint32_t pos = m_start, misses = 0;
    while (pos < hash_end) {
      uint32_t dist = 0;
      const uint32_t len = find<kChains>(t, pos, kMinMatch - 1, depth, nice, dist);
      if (len < kMinMatch) {
        if (int rc = missed<kChains>(t, pos, misses, hash_end)) return rc;
        continue;
      }
      // Inside a match only the 4-byte heads and chains (at a depth of one
      // only the heads): the 3-byte head keeps the near short matches of
      // the positions looked at.
      uint32_t to = enter_max != 0 && len > enter_max ? pos + enter_max : pos + len;
      if (to > hash_end) to = hash_end;
      for (uint32_t p = pos + 1; p < to; ++p) enter4<kChains>(t, p);
      if (int rc = match(pos, len, dist)) return rc;
      pos += len;
      misses = 0;
    }
    for (; pos < end; ++pos)
      if (int rc = literal(pos)) return rc;
    return 0;
  }

  /// The greedy parse at a depth of two (the fastest level), with the search
  /// unrolled to its two candidates: the same matches, fewer steps.
  int parseFast(const LevelConfig& config) {
    const Tables t = tables();
    const uint32_t end = m_end, hash_end = m_hashEnd;
    const uint32_t enter_max = config.good != 0 ? config.good : F::kMaxMatch;
    const uint32_t nice = config.nice;
    uint32_t pos = m_start;
    uint32_t misses = 0;  // positions looked at since the last match
    while (pos < hash_end) {
      const uint8_t* const cur = t.base + pos;
      const uint32_t v = load32(cur);
      const uint32_t h4 = Heads::hash4(v), h3 = Heads::hash3(v);
      const uint32_t tag = pos + t.offset;
      uint32_t c4 = t.head4[h4];
      const uint32_t c3 = t.head3[h3];
      t.prev[tag & kWMask] = c4;
      t.head4[h4] = tag;
      t.head3[h3] = tag;
      const uint32_t next = load32(cur + 1);
      __builtin_prefetch(&t.head4[Heads::hash4(next)], 1);
      __builtin_prefetch(&t.head3[Heads::hash3(next)], 1);
      const uint32_t lo = lowLimit(t, pos);
      uint32_t len = 0, dist = 0;
      if (c4 > lo) {
        const uint32_t left = end - pos;  // at least four below hash_end
        const uint32_t max_len = left < F::kMaxMatch ? left : F::kMaxMatch;
        const uint8_t* m = cur - (tag - c4);
        if (load32(m) == v) {
          dist = tag - c4;
          len = 4 + matchLength(m + 4, cur + 4, max_len - 4);
        }
        const uint32_t c2 = t.prev[c4 & kWMask];
        if (len < nice && len < max_len && c2 > lo) {
          m = cur - (tag - c2);
          const uint32_t end_off = len >= 3 ? len - 3 : 0;
          if (load32(m + end_off) == load32(cur + end_off) && load32(m) == v) {
            const uint32_t len2 = 4 + matchLength(m + 4, cur + 4, max_len - 4);
            if (len2 > len) {
              len = len2;
              dist = tag - c2;
            }
          }
        }
      }
      if (len == 0 && c3 > lo && tag - c3 <= kTooFar && ((load32(cur - (tag - c3)) ^ v) & 0xFFFFFFu) == 0) {
        dist = tag - c3;
        len = kMinMatch;
      }
      if (len != 0) {
        // Inside a match only the 4-byte heads and chains: the 3-byte head
        // serves the near short matches of the positions looked at.
        uint32_t to = len > enter_max ? pos + enter_max : pos + len;
        if (to > hash_end) to = hash_end;
        for (uint32_t p = pos + 1; p < to; ++p) enter4<true>(t, p);
        if (int rc = match(pos, len, dist)) return rc;
        pos += len;
        misses = 0;
      } else {
        if (int rc = missed<true>(t, pos, misses, hash_end)) return rc;
      }
    }
    for (; pos < end; ++pos)
      if (int rc = literal(pos)) return rc;
    return 0;
  }

  /// Whether a match of @p next_len at @p next_dist one position later beats
  /// the held one: each byte more it covers is worth four, each bit less of
  /// its distance one, and the literal it costs two.
  static bool betterLater(uint32_t len, uint32_t dist, uint32_t next_len, uint32_t next_dist) {
    int gain = 4 * (static_cast<int>(next_len) - static_cast<int>(len)) + __builtin_clz(next_dist) -
               __builtin_clz(dist);
    return gain > 2;
  }

  /// @p kLight: a row with `lazy` set (see the file comment); it also passes
  /// over incompressible runs as the greedy parsers do.
  template <bool kTwoAhead, bool kLight>
  int parseLazy(const LevelConfig& config) {
    const Tables t = tables();
    const uint32_t end = m_end, hash_end = m_hashEnd;
    const uint32_t depth0 = config.depth, nice = config.nice, good = config.good;
    const uint32_t lazy = kLight ? config.lazy : nice;
    uint32_t pos = m_start, misses = 0;
    while (pos < end) {
      uint32_t len = 0, dist = 0;
      if (pos < hash_end) len = find(t, pos, kMinMatch - 1, depth0, nice, dist);
      if (len < kMinMatch) {
        if (kLight && pos < hash_end) {
          if (int rc = missed<true>(t, pos, misses, hash_end)) return rc;
          continue;
        }
        if (int rc = literal(pos)) return rc;
        ++pos;
        continue;
      }
      misses = 0;
      uint32_t entered = pos + 1;  // positions below are in the chains
      while (len < lazy && pos + 1 < hash_end) {
        const uint32_t depth = std::max<uint32_t>(len >= good ? depth0 >> 2 : depth0 >> 1, 1);
        uint32_t d1 = 0;
        uint32_t l1 = find(t, pos + 1, len - 1, depth, nice, d1);
        entered = pos + 2;
        if (l1 != 0 && betterLater(len, dist, l1, d1)) {
          if (int rc = literal(pos)) return rc;
          ++pos;
          len = l1;
          dist = d1;
          continue;
        }
        if (!kTwoAhead || pos + 2 >= hash_end) break;
        uint32_t d2 = 0;
        uint32_t l2 = find(t, pos + 2, len, depth >> 1 ? depth >> 1 : 1, nice, d2);
        entered = pos + 3;
        if (l2 == 0 || !betterLater(len + 1, dist, l2, d2)) break;
        if (int rc = literal(pos)) return rc;
        if (int rc = literal(pos + 1)) return rc;
        pos += 2;
        len = l2;
        dist = d2;
      }
      if (kLight) {  // the 4-byte heads and chains alone
        const uint32_t to = std::min(pos + len, hash_end);
        for (uint32_t p = entered; p < to; ++p) enter4<true>(t, p);
      } else {
        enterRange(t, entered, pos + len, hash_end);
      }
      if (int rc = match(pos, len, dist)) return rc;
      pos += len;
    }
    return 0;
  }

  Heads m_heads;
  uint32_t* m_prev = nullptr;

  const uint8_t* m_base = nullptr;
  uint32_t m_start = 0, m_end = 0, m_hashEnd = 0;
  bool m_last = true;
  uint32_t m_blockStart = 0;
  BlockWriter* m_blocks = nullptr;
  const std::atomic<bool>* m_stop = nullptr;
  BlockSplitter m_splitter;
};

}  // namespace

std::unique_ptr<ChunkParser> makeChainParser(bool is64) {
  if (is64) return std::unique_ptr<ChunkParser>(new (std::nothrow) ChainParser<Format64>);
  return std::unique_ptr<ChunkParser>(new (std::nothrow) ChainParser<Format32>);
}

}  // namespace ostrana::deflate
