/* engine/unzip/huffman_table.h - lookup tables for prefix codes read LSB first.
 *
 * Inflate (Huffman codes of RFC 1951) and explode (the Shannon-Fano codes of
 * imploding) both decode by looking the next bits of the stream up in a table:
 * a primary table indexed by the next `primary_bits` bits, and for the longer
 * codewords small subtables reached through a pointer entry.  Codewords are
 * packed most significant bit first into a least-significant-bit-first
 * stream, so every codeword is bit-reversed when its entries are laid down.
 *
 * An entry is one 32-bit word, laid out so that the decoder's hot path needs
 * few operations:
 *
 *   bits  0-7   bits to consume: codeword bits, plus the symbol's extra bits
 *               when they are folded into the entry (length and distance codes)
 *   bits  8-11  codeword bits alone (extra bits start after them); for a
 *               subtable pointer: the subtable's index width
 *   bits 12-15  flags (literal, subtable pointer, end of block, invalid)
 *   bits 16-31  value: literal byte, length or distance base, symbol number,
 *               or the subtable's start index
 *
 * Codes from the stream are untrusted: the code assigners here refuse
 * over-subscribed sets, and refuse incomplete sets unless the caller says the
 * format allows them (deflate's lone distance code; imploding's assignment).
 * Unused slots of an incomplete code hold an invalid entry.  The table
 * builder checks every write against the table's capacity.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {
namespace huffman {

inline constexpr uint32_t kFlagLiteral = 0x8000;
inline constexpr uint32_t kFlagSubtable = 0x4000;
inline constexpr uint32_t kFlagEndOfBlock = 0x2000;
inline constexpr uint32_t kFlagInvalid = 0x1000;
/// Any entry that is neither a literal nor a plain length/distance/symbol.
inline constexpr uint32_t kFlagsExceptional = kFlagSubtable | kFlagEndOfBlock | kFlagInvalid;

/// Longest codeword the tables handle (imploding uses 16, deflate 15).
inline constexpr unsigned kMaxCodewordBits = 16;
/// Most symbols assign_canonical() takes (deflate's literal/length code).
inline constexpr unsigned kMaxSymbols = 288;

/// An entry template: what the symbol means, without its codeword length.
/// @p extra_bits are folded into the bits an entry consumes.
constexpr uint32_t make_template(uint32_t value, uint32_t flags, uint32_t extra_bits = 0) {
  return (value << 16) | flags | extra_bits;
}

inline uint32_t entry_consume(uint32_t e) { return e & 0xFF; }
inline uint32_t entry_code_bits(uint32_t e) { return (e >> 8) & 0xF; }
inline uint32_t entry_value(uint32_t e) { return e >> 16; }

/// Looks the next symbol up in @p table, following a subtable pointer (whose
/// primary bits it consumes); the caller consumes the returned entry.
/// @p in is a bit reader with peek(n) and consume(n) holding at least
/// kMaxCodewordBits bits.
template <typename BitReader>
inline uint32_t lookup(const uint32_t* table, unsigned primary_bits, BitReader& in) {
  uint32_t e = table[in.peek(primary_bits)];
  if (e & kFlagSubtable) {
    in.consume(primary_bits);
    e = table[entry_value(e) + in.peek(entry_code_bits(e))];
  }
  return e;
}

/// One codeword to place: its template, its length and its value (MSB-first).
struct Codeword {
  uint32_t entry_template;
  uint8_t nbits;
  uint16_t bits;
};

/// How complete a code must be.
enum class Completeness {
  kComplete,         ///< every bit pattern must decode (deflate's literal/length and code-length codes)
  kDistanceCode,     ///< complete, or one codeword of 1 bit, or no codeword at all (RFC 1951, 3.2.7)
};

/// Assigns canonical codewords (RFC 1951, 3.2.2) to the symbols whose length in
/// @p lengths (0 = unused, at most 15) is non-zero, in the order the table
/// builder needs (by length, then by symbol).
/// @p templates gives each symbol's entry template.
/// @return the number of codewords written to @p words_ret (room for @p nsyms),
///         or -1 when the lengths over-subscribe the code or leave it incomplete
///         where @p completeness forbids it, or @p nsyms exceeds kMaxSymbols.
int assign_canonical(const uint8_t* lengths, unsigned nsyms, const uint32_t* templates,
                     Completeness completeness, Codeword* words_ret);

/// Fills @p table from @p words: prefix-free, sorted by length, and with the
/// codewords longer than @p primary_bits that share their first
/// primary_bits bits adjacent (canonical order gives both; so does the
/// imploding assignment read backwards).  Bit patterns no codeword covers
/// get an invalid entry.
/// @param primary_bits  width of the primary table (1..12)
/// @param table_avail   capacity of @p table in entries
/// @return false when the codewords need more than @p table_avail entries
///         (cannot happen for the capacities given by table_capacity()).
bool build_table(const Codeword* words, unsigned nwords, unsigned primary_bits, uint32_t* table,
                 size_t table_avail);

/// assign_canonical() and build_table() in one, without the list of
/// codewords in between for those that fit the primary table (the inflater
/// builds its tables for every block this way).
/// @return false where assign_canonical() returns -1 or build_table() false.
bool build_canonical_table(const uint8_t* lengths, unsigned nsyms, const uint32_t* templates,
                           Completeness completeness, unsigned primary_bits, uint32_t* table, size_t table_avail);

/// Capacity that build_table() never exceeds for @p nsyms symbols of codes no
/// longer than @p max_bits whose codewords come in the monotone order of
/// either assigner (lengths rising, or falling, along the left-aligned order).
constexpr size_t table_capacity(unsigned primary_bits, unsigned nsyms, unsigned max_bits) {
  // Codewords fill the code space contiguously from 0, so every subtable but
  // the last is fully used.  A subtable whose codewords all have one length
  // holds exactly as many entries as codewords; only subtables that contain a
  // change of length (at most one per length beyond the primary width) or the
  // last, partly used one can be larger, and none exceeds 2^depth entries.
  const unsigned depth = max_bits > primary_bits ? max_bits - primary_bits : 0;
  return (size_t{1} << primary_bits) + nsyms + (size_t{depth} + 1) * (size_t{1} << depth);
}

}  // namespace huffman
}  // namespace ostrana
