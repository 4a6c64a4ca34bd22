/* engine/unzip/huffman_table.cpp - canonical code assignment and table filling.
 *
 * Both steps run once per deflate block (or once per imploded item), so they
 * are written for clarity over speed; the cost is a few thousand stores per
 * block.  See huffman_table.h for the entry layout.
 */
#include "engine/unzip/huffman_table.h"

#include <cstring>

namespace ostrana {
namespace huffman {
namespace {

/// Each byte with its bits in reverse order.
struct ByteReversal {
  uint8_t table[256];
  constexpr ByteReversal() : table() {
    for (unsigned v = 0; v < 256; ++v) {
      unsigned r = 0;
      for (unsigned i = 0; i < 8; ++i) r |= ((v >> i) & 1u) << (7 - i);
      table[v] = static_cast<uint8_t>(r);
    }
  }
};
constexpr ByteReversal kByteReversal;

/// @p nbits (at most 16) low bits of @p v in reverse order.
inline uint32_t reverse_bits(uint32_t v, unsigned nbits) {
  const uint32_t r16 = (uint32_t{kByteReversal.table[v & 0xFF]} << 8) | kByteReversal.table[(v >> 8) & 0xFF];
  return r16 >> (16 - nbits);
}

constexpr uint32_t kInvalidEntry = make_template(0, kFlagInvalid);
constexpr unsigned kMaxLen = 15;  // deflate's longest codeword

void fill_invalid(uint32_t* table, size_t n) {
  for (size_t i = 0; i < n; ++i) table[i] = kInvalidEntry;
}

/// The symbols with a codeword, in canonical order (by length, then by
/// symbol), and how many there are of each length.
struct SortedCode {
  uint16_t syms[kMaxSymbols];
  unsigned count[kMaxLen + 1];  ///< count[0] is 0
  unsigned unused;              ///< symbols of length 0, which come first in syms
  bool complete;
};

/// Counts and checks the lengths and sorts the symbols.
/// @return the number of codewords, or -1 as assign_canonical().
int sort_code(const uint8_t* lengths, unsigned nsyms, Completeness completeness, SortedCode& sorted) {
  unsigned* const count = sorted.count;
  if (nsyms > kMaxSymbols) return -1;
  // The symbols are taken as four runs of `quarter` (the last run with the
  // few left over), one from each run per step: four independent
  // histograms, and below four independent placements, keep each loop from
  // waiting on its own stores (this runs for every dynamic block).
  const unsigned quarter = nsyms / 4;
  const uint8_t* const run[4] = {lengths, lengths + quarter, lengths + 2 * quarter, lengths + 3 * quarter};
  unsigned hist[4][kMaxLen + 1] = {};
  unsigned too_long = 0;
  for (unsigned i = 0; i < quarter; ++i) {
    too_long |= run[0][i] | run[1][i] | run[2][i] | run[3][i];
    ++hist[0][run[0][i] & kMaxLen];
    ++hist[1][run[1][i] & kMaxLen];
    ++hist[2][run[2][i] & kMaxLen];
    ++hist[3][run[3][i] & kMaxLen];
  }
  for (unsigned i = quarter; i < nsyms - 3 * quarter; ++i) {
    too_long |= run[3][i];
    ++hist[3][run[3][i] & kMaxLen];
  }
  if (too_long > kMaxLen) return -1;
  for (unsigned len = 0; len <= kMaxLen; ++len) count[len] = hist[0][len] + hist[1][len] + hist[2][len] + hist[3][len];
  sorted.unused = count[0];
  count[0] = 0;

  // Kraft: every length doubles the code space; codewords take from it.
  int32_t left = 1;
  unsigned total = 0;
  for (unsigned len = 1; len <= kMaxLen; ++len) {
    left = left * 2 - static_cast<int32_t>(count[len]);
    if (left < 0) return -1;  // over-subscribed
    total += count[len];
  }
  if (left > 0) {
    // Incomplete.  Deflate allows it only for the distance code, and only as
    // "no distance codes" or "one distance code of one bit".
    if (completeness != Completeness::kDistanceCode) return -1;
    if (!(total == 0 || (total == 1 && count[1] == 1))) return -1;
  }
  sorted.complete = left == 0;

  // Symbols by length, then by symbol: a counting sort over every symbol,
  // the unused ones (length 0) first, so that the loop needs no branch;
  // each run places its symbols after those of the runs before it.
  unsigned pos[4][kMaxLen + 1];
  unsigned next = 0;
  for (unsigned len = 0; len <= kMaxLen; ++len) {
    for (unsigned r = 0; r < 4; ++r) {
      pos[r][len] = next;
      next += hist[r][len];
    }
  }
  for (unsigned i = 0; i < quarter; ++i) {
    sorted.syms[pos[0][run[0][i]]++] = static_cast<uint16_t>(i);
    sorted.syms[pos[1][run[1][i]]++] = static_cast<uint16_t>(i + quarter);
    sorted.syms[pos[2][run[2][i]]++] = static_cast<uint16_t>(i + 2 * quarter);
    sorted.syms[pos[3][run[3][i]]++] = static_cast<uint16_t>(i + 3 * quarter);
  }
  for (unsigned i = quarter; i < nsyms - 3 * quarter; ++i)
    sorted.syms[pos[3][run[3][i]]++] = static_cast<uint16_t>(i + 3 * quarter);
  return static_cast<int>(total);
}

/// Lays down the subtables for @p words, the codewords longer than
/// @p primary_bits in canonical order, and their pointers in the primary table.
bool place_subtables(const Codeword* words, unsigned nwords, unsigned primary_bits, uint32_t* table,
                     size_t table_avail, bool complete) {
  size_t next_sub = size_t{1} << primary_bits;
  unsigned i = 0;
  while (i < nwords) {
    const Codeword& w = words[i];
    // The codewords that share these first primary_bits bits are adjacent in
    // left-aligned order; their longest one decides the subtable's width.
    const uint32_t prefix = w.bits >> (w.nbits - primary_bits);
    unsigned end = i;
    unsigned longest = 0;
    while (end < nwords && words[end].nbits > primary_bits &&
           uint32_t{words[end].bits} >> (words[end].nbits - primary_bits) == prefix) {
      if (words[end].nbits > longest) longest = words[end].nbits;
      ++end;
    }
    const unsigned sub_bits = longest - primary_bits;
    const size_t sub_size = size_t{1} << sub_bits;
    if (next_sub + sub_size > table_avail || next_sub > 0xFFFF) return false;
    uint32_t* sub = table + next_sub;
    if (!complete) fill_invalid(sub, sub_size);
    table[reverse_bits(prefix, primary_bits)] =
        make_template(static_cast<uint32_t>(next_sub), kFlagSubtable) + primary_bits + (sub_bits << 8);
    for (unsigned k = i; k < end; ++k) {
      const unsigned rest = words[k].nbits - primary_bits;
      const uint32_t low = words[k].bits & ((uint32_t{1} << rest) - 1);
      const uint32_t e = words[k].entry_template + rest + (rest << 8);
      for (size_t slot = reverse_bits(low, rest); slot < sub_size; slot += size_t{1} << rest) sub[slot] = e;
    }
    next_sub += sub_size;
    i = end;
  }
  return true;
}

}  // namespace

int assign_canonical(const uint8_t* lengths, unsigned nsyms, const uint32_t* templates,
                     Completeness completeness, Codeword* words_ret) {
  SortedCode sorted;
  const int total = sort_code(lengths, nsyms, completeness, sorted);
  if (total < 0) return -1;
  // Canonical order is the sorted order, each codeword one more than the
  // last, doubled at every step of length.
  const uint16_t* sym = sorted.syms + sorted.unused;
  Codeword* w = words_ret;
  uint32_t code = 0;
  for (unsigned len = 1; len <= kMaxLen; ++len) {
    for (unsigned k = sorted.count[len]; k != 0; --k, ++w, ++code) {
      w->entry_template = templates[*sym++];
      w->nbits = static_cast<uint8_t>(len);
      w->bits = static_cast<uint16_t>(code);
    }
    code <<= 1;
  }
  return total;
}

bool build_table(const Codeword* words, unsigned nwords, unsigned primary_bits, uint32_t* table,
                 size_t table_avail) {
  const size_t primary = size_t{1} << primary_bits;
  if (table_avail < primary) return false;

  // A complete code covers every slot; only the subtables of an incomplete
  // one need invalid entries laid down first.
  uint32_t coverage = 0;
  for (unsigned i = 0; i < nwords; ++i) coverage += uint32_t{1} << (kMaxCodewordBits - words[i].nbits);
  const bool complete = coverage == (uint32_t{1} << kMaxCodewordBits);

  // The primary table grows by doubling: a table for the codewords of up to
  // `len` bits is copied to its upper half to serve len + 1 bits (the new
  // bit does not change a shorter codeword's entry), then the codewords of
  // len + 1 bits are placed.  Slots no codeword has reached yet hold invalid
  // entries; for a complete code all of them are overwritten in the end.
  unsigned len = nwords != 0 && words[0].nbits < primary_bits ? words[0].nbits : primary_bits;
  size_t filled = size_t{1} << len;
  fill_invalid(table, filled);
  unsigned i = 0;
  for (;;) {
    for (; i < nwords && words[i].nbits == len; ++i)
      table[reverse_bits(words[i].bits, len)] = words[i].entry_template + len + (len << 8);
    if (len == primary_bits) break;
    std::memcpy(table + filled, table, filled * sizeof *table);
    filled <<= 1;
    ++len;
  }

  return place_subtables(words + i, nwords - i, primary_bits, table, table_avail, complete);
}

bool build_canonical_table(const uint8_t* lengths, unsigned nsyms, const uint32_t* templates,
                           Completeness completeness, unsigned primary_bits, uint32_t* table, size_t table_avail) {
  SortedCode sorted;
  const int total = sort_code(lengths, nsyms, completeness, sorted);
  if (total < 0 || primary_bits < 1 || primary_bits > kMaxLen || table_avail < (size_t{1} << primary_bits))
    return false;
  // The primary table grows by doubling as in build_table(), its codewords
  // placed straight from the sorted symbols.
  const uint16_t* sym = sorted.syms + sorted.unused;
  unsigned len = 1;
  while (len < primary_bits && sorted.count[len] == 0) ++len;
  size_t filled = size_t{1} << len;
  fill_invalid(table, filled);
  uint32_t code = 0;
  for (unsigned l = 1; l < len; ++l) code <<= 1;
  for (;;) {
    const uint32_t bits = len + (len << 8);
    for (unsigned k = sorted.count[len]; k != 0; --k, ++code) table[reverse_bits(code, len)] = templates[*sym++] + bits;
    code <<= 1;
    if (len == primary_bits) break;
    std::memcpy(table + filled, table, filled * sizeof *table);
    filled <<= 1;
    ++len;
  }
  // The longer codewords, as build_table() takes them.
  Codeword words[kMaxSymbols];
  unsigned nlong = 0;
  for (++len; len <= kMaxLen; ++len) {
    for (unsigned k = sorted.count[len]; k != 0; --k, ++code, ++nlong) {
      words[nlong].entry_template = templates[*sym++];
      words[nlong].nbits = static_cast<uint8_t>(len);
      words[nlong].bits = static_cast<uint16_t>(code);
    }
    code <<= 1;
  }
  return place_subtables(words, nlong, primary_bits, table, table_avail, sorted.complete);
}

}  // namespace huffman
}  // namespace ostrana
