/* engine/zip/deflate_optimal.cpp - binary trees and a minimum-cost parse (level 9).
 *
 * Match finding.  Positions with the same 4-byte hash form a binary search
 * tree ordered by the bytes that follow them, rooted at `head4` and rebuilt
 * at every insertion so that the newest position is the root: walking down
 * from the old root, every candidate goes to the left or right subtree of the
 * new one, and the walk sees, in order of growing length, every match the
 * tree can offer.  The common prefix with the nearest smaller and greater
 * candidate is carried along, so bytes already known to match are not
 * compared again.  `head3` keeps the latest position of each 3-byte hash for
 * matches of three.  Tags, offsets and the window rule are those of the hash
 * chains (HashHeads, deflate_chunk.h): stale tags always count as "none".
 *
 * Parsing.  A block's positions are searched first and every match found is
 * kept in a cache (after a match of the nice length the positions it covers
 * are only entered into the trees).  Then the cheapest way through the block
 * is found from its end backwards: at each position a literal or any match
 * the cache offers, costed in sixteenths of a bit at every length up to
 * kDenseLengths and beyond that at the last length of each length code (the
 * same code, the most bytes) and the match's full length.  The prices come
 * from a path taken without costs first - the longest match wherever there is
 * one - which gives the block's mix of literals, lengths and distances well
 * enough that one costed pass is near the best; each further pass (the level's
 * `passes`) prices every symbol by the code the previous path would get.  The
 * last path goes to the block writer.  Blocks end where the splitter
 * (deflate_chunk.h) sees the mix of symbols change, or at kMaxBlockPositions,
 * or when the cache is full.
 *
 * Memory per parser: the trees (2 x window + 2^16 + 2^12 tags), the cache
 * (kCacheEntries) and the path arrays (kMaxBlockPositions): about 6 MiB.
 */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/zip/deflate_chunk.h"
#include "engine/zip/deflate_huffman.h"
#include "ostrana_results.h"

namespace ostrana::deflate {

namespace {

constexpr uint32_t kMaxBlockPositions = 1u << 17;
constexpr uint32_t kCacheEntries = kMaxBlockPositions * 6;
/// A position never keeps more matches than this (one per length found).
constexpr uint32_t kMaxMatchesPerPosition = 48;
/// Lengths above this are costed only at their full length (Deflate64's long matches).
constexpr uint32_t kMaxCostedLength = 258;
/// Lengths up to this are all costed; longer ones by the last of each length code.
constexpr uint32_t kDenseLengths = 4;
constexpr uint32_t kCostScale = 16;  // costs are in sixteenths of a bit
constexpr uint32_t kUnusedSymbolBits = 14;

struct Match {
  uint16_t len;
  uint16_t dist;
};

template <class F>
class OptimalParser final : public ChunkParser {
 public:
  static constexpr uint32_t kWMask = F::kWindow - 1;
  using Heads = HashHeads<F>;

  ~OptimalParser() override {
    std::free(m_child);
    std::free(m_cache);
    std::free(m_cost);
    std::free(m_path);
    std::free(m_entry);
  }

  OptimalParser() {
    for (uint32_t l = kMinMatch; l <= kMaxCostedLength; ++l) {
      uint32_t end = l;
      while (end < kMaxCostedLength && lengthCode(end + 1) == lengthCode(l)) ++end;
      m_codeEnd[l] = end;
    }
  }

  const char* allocate() override {
    if (m_child == nullptr) m_child = static_cast<uint32_t*>(std::calloc(2 * F::kWindow, sizeof(uint32_t)));
    if (!m_heads.allocate() || m_child == nullptr) return "hash table allocation";
    if (m_cache == nullptr) m_cache = static_cast<Match*>(std::malloc(sizeof(Match) * kCacheEntries));
    if (m_cost == nullptr) m_cost = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * (kMaxBlockPositions + 1)));
    if (m_path == nullptr) m_path = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * (kMaxBlockPositions + 1)));
    if (m_entry == nullptr) m_entry = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * kMaxBlockPositions));
    if (m_cache == nullptr || m_cost == nullptr || m_path == nullptr || m_entry == nullptr)
      return "ct_init: out of memory";
    return nullptr;
  }

  int parse(const ChunkInput& chunk, const LevelConfig& config, BlockWriter& blocks,
            const std::atomic<bool>* stop) override {
    m_base = chunk.base;
    m_end = chunk.dict_nbytes + chunk.nbytes;
    m_hashEnd = m_end >= 4 ? m_end - 3 : 0;
    m_depth = config.depth;
    m_nice = config.nice;
    m_skipDepth = (m_depth >> 1) + 1;
    m_heads.startChunk(m_end);
    for (uint32_t p = 0; p < chunk.dict_nbytes && p < m_hashEnd; ++p) advance(p, nullptr);
    uint32_t pos = chunk.dict_nbytes;
    while (pos < m_end) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return OZ_INTERRUPTED;
      const uint32_t n = collect(pos);
      greedyPath(n);
      priceFromPath(pos, n);
      for (int pass = 1; pass < config.passes; ++pass) {
        findPath(pos, n);
        priceFromPath(pos, n);
      }
      findPath(pos, n);
      const bool last = chunk.last && pos + n == m_end;
      if (int rc = emitPath(pos, n, blocks, last)) return rc;
      pos += n;
    }
    if (chunk.nbytes == 0) return blocks.flushBlock(m_base + pos, chunk.last);
    return 0;
  }

 private:
  // ---- match finding -------------------------------------------------------------------

  /// Enters position @p pos into the trees; with @p out, also records the
  /// matches found (rising lengths) and returns how many.
  uint32_t advance(uint32_t pos, Match* out) {
    const uint8_t* const cur = m_base + pos;
    const uint32_t left = m_end - pos;
    // Matches are measured in full only when they are kept: to place a
    // position in its tree, the nice length is as far as bytes need comparing
    // (else every position of a long run would be measured to its end).
    const uint32_t max_len = std::min(left < F::kMaxMatch ? left : F::kMaxMatch, out != nullptr ? ~0u : m_nice);
    const uint32_t tag = pos + m_heads.offset;
    const uint32_t lo = m_heads.lowLimit(pos);
    const uint32_t v = load32(cur);
    const uint32_t h4 = Heads::hash4(v), h3 = Heads::hash3(v);
    uint32_t cand = m_heads.head4[h4];
    const uint32_t cand3 = m_heads.head3[h3];
    // The next position's heads are wanted next: fetch them while this one's tree is walked.
    if (left > 4) {
      const uint32_t next = load32(cur + 1);
      __builtin_prefetch(&m_heads.head4[Heads::hash4(next)], 1);
      __builtin_prefetch(&m_heads.head3[Heads::hash3(next)], 1);
    }
    m_heads.head4[h4] = tag;
    m_heads.head3[h3] = tag;
    uint32_t count = 0;
    uint32_t best = kMinMatch - 1;
    if (out != nullptr && cand3 > lo && tag - cand3 <= kTooFar &&
        ((load32(cur - (tag - cand3)) ^ v) & 0xFFFFFFu) == 0) {
      // A match of three: the trees, being of four bytes, offer longer ones.
      out[count++] = Match{static_cast<uint16_t>(kMinMatch), static_cast<uint16_t>(tag - cand3)};
      best = kMinMatch;
    }

    uint32_t* less = &m_child[2 * (tag & kWMask)];   // where the next smaller candidate goes
    uint32_t* more = less + 1;                       // where the next greater one goes
    uint32_t less_len = 0, more_len = 0;
    uint32_t depth = out != nullptr ? m_depth : m_skipDepth;
    const uint8_t* const tagged_base = cur - tag;
    while (cand > lo && depth-- != 0) {
      const uint8_t* m = tagged_base + cand;
      uint32_t len = less_len < more_len ? less_len : more_len;
      // Measured at once: a first byte that differs costs no more than a
      // compare, and spares a branch that is hard to foresee.
      len += matchLength(m + len, cur + len, max_len - len);
      if (len > best) {
        best = len;
        if (out != nullptr && count < kMaxMatchesPerPosition)
          out[count++] = Match{static_cast<uint16_t>(len), static_cast<uint16_t>(tag - cand)};
        if (len >= m_nice || len >= max_len) {
          // The candidate equals us as far as we look: it leaves the tree,
          // its subtrees become ours.
          *less = m_child[2 * (cand & kWMask)];
          *more = m_child[2 * (cand & kWMask) + 1];
          return count;
        }
      }
      uint32_t* node = &m_child[2 * (cand & kWMask)];
      if (m[len] < cur[len]) {
        *less = cand;
        less = node + 1;
        less_len = len;
        cand = *less;
      } else {
        *more = cand;
        more = node;
        more_len = len;
        cand = *more;
      }
    }
    *less = 0;
    *more = 0;
    return count;
  }

  /// Searches the positions of the next block from @p start and fills the
  /// cache; returns the block's length.
  uint32_t collect(uint32_t start) {
    m_splitter.reset();
    Match* entry = m_cache;
    const Match* const cache_end = m_cache + kCacheEntries - kMaxMatchesPerPosition - 1;
    uint32_t pos = start;
    uint32_t skip_until = start;
    while (pos < m_end && pos - start < kMaxBlockPositions && entry < cache_end) {
      m_entry[pos - start] = static_cast<uint32_t>(entry - m_cache);
      Match* head = entry++;
      uint32_t count = 0;
      if (pos < m_hashEnd) {
        if (pos < skip_until) {
          advance(pos, nullptr);
        } else {
          count = advance(pos, entry);
          if (count != 0) {
            const uint32_t longest = entry[count - 1].len;
            m_splitter.match(longest);
            if (longest >= m_nice) skip_until = pos + longest;
          } else {
            m_splitter.literal(m_base[pos]);
          }
        }
      } else if (pos >= skip_until) {
        m_splitter.literal(m_base[pos]);
      }
      head->len = static_cast<uint16_t>(count);
      entry += count;
      ++pos;
      if (pos >= skip_until && m_splitter.due() && m_splitter.shouldEnd(pos - start)) break;
    }
    return pos - start;
  }

  // ---- prices ------------------------------------------------------------------------

  void addExtraBits() {
    for (uint32_t l = kMinMatch; l <= kMaxCostedLength; ++l) {
      uint32_t code = lengthCode(l);
      m_lenPrice[l] += lengthCodeInfo<F>(code).extra * kCostScale;
    }
    for (int d = 0; d < kMaxDistCodes; ++d) m_distPrice[d] += kDistExtra[d] * kCostScale;
  }

  static uint32_t lengthCode(uint32_t len) {
    if (!F::kIs64 && len == 258) return 285;
    uint32_t i = 27;
    while (kLengthBase[i] > len) --i;
    return 257 + i;
  }

  /// Price of a match beyond kMaxCostedLength (Deflate64): code 285 plus 16 bits.
  uint32_t longLengthPrice() const { return m_code285Price + 16 * kCostScale; }

  /// A first path without costs: the longest match wherever there is one.
  void greedyPath(uint32_t n) {
    for (uint32_t i = 0; i < n;) {
      const Match* const head = m_cache + m_entry[i];
      if (head->len == 0) {
        m_path[i++] = 1u << 16;
        continue;
      }
      const Match& m = head[head->len];
      const uint32_t len = std::min<uint32_t>(m.len, n - i);
      if (len < kMinMatch) {
        m_path[i++] = 1u << 16;
        continue;
      }
      m_path[i] = (len << 16) | m.dist;
      i += len;
    }
  }

  /// Prices from the code the path from findPath() would get.
  void priceFromPath(uint32_t start, uint32_t n) {
    uint32_t lit_freq[kLitLenCodes] = {};
    uint32_t dist_freq[kMaxDistCodes] = {};
    uint32_t i = 0;
    while (i < n) {
      uint32_t step = m_path[i];
      uint32_t len = step >> 16;
      if (len <= 1) {
        ++lit_freq[m_base[start + i]];
        ++i;
      } else {
        ++lit_freq[len > kMaxCostedLength ? 285 : lengthCode(len)];
        ++dist_freq[distCode(step & 0xFFFF)];
        i += len;
      }
    }
    lit_freq[kEndOfBlock] = 1;
    uint8_t lit_lens[kLitLenCodes];
    uint8_t dist_lens[kMaxDistCodes];
    buildCodeLengths(lit_freq, kLitLenCodes, kMaxCodeBits, m_scratch, lit_lens);
    buildCodeLengths(dist_freq, F::kDistCodes, kMaxCodeBits, m_scratch, dist_lens);
    auto price = [](uint8_t bits) { return (bits ? bits : kUnusedSymbolBits) * kCostScale; };
    for (int c = 0; c < 256; ++c) m_litPrice[c] = price(lit_lens[c]);
    for (uint32_t l = kMinMatch; l <= kMaxCostedLength; ++l) m_lenPrice[l] = price(lit_lens[lengthCode(l)]);
    m_code285Price = price(lit_lens[285]);
    for (int d = 0; d < F::kDistCodes; ++d) m_distPrice[d] = price(dist_lens[d]);
    addExtraBits();
  }

  // ---- the path ------------------------------------------------------------------------

  /// The cheapest way through the @p n positions of the block at @p start,
  /// from its end: m_path[i] holds (length << 16) | distance of the step taken
  /// at position i (length 1: a literal), m_cost[i] the price from there on.
  void findPath(uint32_t start, uint32_t n) {
    m_cost[n] = 0;
    for (uint32_t i = n; i-- > 0;) {
      uint32_t best = m_litPrice[m_base[start + i]] + m_cost[i + 1];
      uint32_t step = 1u << 16;
      const Match* const head = m_cache + m_entry[i];
      const Match* const matches = head + 1;
      const uint32_t room = n - i;
      const uint32_t* const cost_at = m_cost + i;
      uint32_t len = kMinMatch;
      for (uint32_t k = 0; k < head->len; ++k) {
        const uint32_t full = std::min<uint32_t>(matches[k].len, room);
        if (full < len) break;
        // The cheapest length of this match, before its distance's price
        // (the same for all of them); ties go to the shorter length.
        uint32_t mbest = ~0u, mlen = 0;
        auto consider = [&](uint32_t l, uint32_t price) {
          const uint32_t c = price + cost_at[l];
          const bool lower = c < mbest;
          mbest = lower ? c : mbest;
          mlen = lower ? l : mlen;
        };
        // Every length up to kDenseLengths; beyond, the last length of each
        // length code (the same price, the most bytes covered) and the full one.
        const uint32_t dense = std::min(full, kDenseLengths);
        for (; len <= dense; ++len) consider(len, m_lenPrice[len]);
        const uint32_t costed = std::min(full, kMaxCostedLength);
        for (; len < costed; len = m_codeEnd[len] + 1) {
          const uint32_t l = std::min<uint32_t>(m_codeEnd[len], costed);
          consider(l, m_lenPrice[l]);
        }
        if (len <= costed) consider(costed, m_lenPrice[costed]);
        if (full > kMaxCostedLength) consider(full, longLengthPrice());
        len = full + 1;
        const uint32_t dist = matches[k].dist;
        const uint64_t c = static_cast<uint64_t>(mbest) + m_distPrice[distCode(dist)];
        const bool lower = c < best;
        best = lower ? static_cast<uint32_t>(c) : best;
        step = lower ? (mlen << 16) | dist : step;
      }
      m_cost[i] = best;
      m_path[i] = step;
    }
  }

  /// Gives the path to the block writer and ends the block.
  int emitPath(uint32_t start, uint32_t n, BlockWriter& blocks, bool last) {
    const uint8_t* const data = m_base + start;
    for (uint32_t i = 0; i < n;) {
      const uint32_t len = m_path[i] >> 16;
      if (len <= 1) {
        blocks.tallyLiteral(data[i]);
        ++i;
      } else {
        blocks.tallyMatch(m_path[i] & 0xFFFF, len);
        i += len;
      }
    }
    return blocks.flushBlock(data, last);
  }

  Heads m_heads;
  uint32_t* m_child = nullptr;
  Match* m_cache = nullptr;
  uint32_t* m_cost = nullptr;
  uint32_t* m_path = nullptr;
  uint32_t* m_entry = nullptr;  // cache index of each position of the block

  const uint8_t* m_base = nullptr;
  uint32_t m_end = 0, m_hashEnd = 0;
  uint32_t m_depth = 0, m_nice = 0;
  uint32_t m_skipDepth = 0;  // candidates looked at to enter a position inside a long match
  BlockSplitter m_splitter;
  HuffmanScratch m_scratch;
  uint32_t m_litPrice[256] = {};
  uint32_t m_lenPrice[kMaxCostedLength + 1] = {};
  uint32_t m_distPrice[kMaxDistCodes] = {};
  uint32_t m_code285Price = 0;
  uint16_t m_codeEnd[kMaxCostedLength + 1] = {};  // the last length with the same length code
};

}  // namespace

std::unique_ptr<ChunkParser> makeOptimalParser(bool is64) {
  if (is64) return std::unique_ptr<ChunkParser>(new (std::nothrow) OptimalParser<Format64>);
  return std::unique_ptr<ChunkParser>(new (std::nothrow) OptimalParser<Format32>);
}

}  // namespace ostrana::deflate
