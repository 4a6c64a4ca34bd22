/* engine/unzip/explode.cpp - Shannon-Fano trees and LZ77 expansion of imploded items.
 *
 * See explode.h.  Every token is decoded on the careful path (a refill and
 * an end-of-data check per token): imploded items are small and rare, and
 * the format's 16-bit codes and raw bit fields make a fast loop little gain.
 */
#include "engine/unzip/explode.h"

namespace ostrana {

using namespace huffman;

namespace {

constexpr unsigned kSmallTreeSymbols = 64;
constexpr unsigned kLiteralTreeSymbols = 256;
/// Compressed size beyond which the distance table is 8 bits wide.
constexpr uint64_t kWideDistanceThreshold = 200000;
/// Longest token: flag bit, 7 low distance bits, two 16-bit codes, 8 extra length bits.
constexpr unsigned kMaxTokenBits = 1 + 7 + 16 + 16 + 8;

}  // namespace

CodecStatus Exploder::read_tree(BitInput& in, unsigned nsyms, unsigned primary_bits, uint32_t* table,
                                size_t table_avail) {
  if (!in.refill()) return CodecStatus::kInputFailed;
  const unsigned nbytes = in.take(8) + 1;
  uint8_t lengths[kLiteralTreeSymbols];
  unsigned n = 0;
  for (unsigned i = 0; i < nbytes; ++i) {
    if (in.m_nbits < 8 && !in.refill()) return CodecStatus::kInputFailed;
    const unsigned b = in.take(8);
    const unsigned len = (b & 0x0F) + 1;
    const unsigned count = (b >> 4) + 1;
    if (count > nsyms - n) return CodecStatus::kDamaged;  // more code lengths than symbols
    for (unsigned k = 0; k < count; ++k) lengths[n++] = static_cast<uint8_t>(len);
  }
  if (in.overran() || n != nsyms) return CodecStatus::kDamaged;

  // Sort by (length, symbol), then assign from the end of that order: the
  // longest codes get the smallest values, counting up from zero.
  uint8_t order[kLiteralTreeSymbols];
  unsigned k = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len)
    for (unsigned s = 0; s < nsyms; ++s)
      if (lengths[s] == len) order[k++] = static_cast<uint8_t>(s);

  uint32_t code = 0;
  uint32_t increment = 0;
  unsigned last_len = 0;
  for (unsigned i = 0; i < nsyms; ++i) {
    const unsigned s = order[nsyms - 1 - i];
    code += increment;
    if (lengths[s] != last_len) {
      last_len = lengths[s];
      increment = uint32_t{1} << (kMaxCodeBits - last_len);
    }
    // The code must fit in 16 bits and sit on a boundary of its length, or it
    // would collide with the codes before it.
    if (code >= (uint32_t{1} << kMaxCodeBits) || (code & (increment - 1)) != 0) return CodecStatus::kDamaged;
    // The table wants the codewords by rising length: store them backwards.
    Codeword& w = m_words[nsyms - 1 - i];
    w.entry_template = make_template(s, 0);
    w.nbits = static_cast<uint8_t>(last_len);
    w.bits = static_cast<uint16_t>(code >> (kMaxCodeBits - last_len));
  }
  return build_table(m_words, nsyms, primary_bits, table, table_avail) ? CodecStatus::kDone
                                                                       : CodecStatus::kDamaged;
}

CodecStatus Exploder::run(BitInput& in, OutputWindow& out, uint16_t flags, uint64_t compressed_nbytes,
                          uint64_t out_nbytes) {
  const bool literal_tree = (flags & 4) != 0;
  const unsigned low_bits = (flags & 2) ? 7 : 6;
  const unsigned min_length = literal_tree ? 3 : 2;
  const unsigned distance_bits = compressed_nbytes > kWideDistanceThreshold ? 8 : 7;

  CodecStatus st = CodecStatus::kDone;
  if (literal_tree) st = read_tree(in, kLiteralTreeSymbols, kLiteralBits, m_literal, kLiteralTableSize);
  if (st == CodecStatus::kDone) st = read_tree(in, kSmallTreeSymbols, kLengthBits, m_length, kSmallTableSize);
  if (st == CodecStatus::kDone)
    st = read_tree(in, kSmallTreeSymbols, distance_bits, m_distance, kDistanceTableSize);
  if (st != CodecStatus::kDone) return st;

  while (out.total_out() < out_nbytes) {
    if (in.m_nbits < kMaxTokenBits && !in.refill()) return CodecStatus::kInputFailed;
    if (in.take(1) != 0) {
      unsigned c;
      if (literal_tree) {
        const uint32_t e = lookup(m_literal, kLiteralBits, in);
        if (e & kFlagInvalid) return CodecStatus::kDamaged;
        in.consume(entry_consume(e));
        c = entry_value(e);
      } else {
        c = in.take(8);
      }
      if (in.overran()) return CodecStatus::kDamaged;
      if (!out.put(static_cast<uint8_t>(c))) return CodecStatus::kStopped;
      continue;
    }

    const unsigned low = in.take(low_bits);
    uint32_t e = lookup(m_distance, distance_bits, in);
    if (e & kFlagInvalid) return CodecStatus::kDamaged;
    in.consume(entry_consume(e));
    const size_t distance = ((size_t{entry_value(e)} << low_bits) | low) + 1;
    e = lookup(m_length, kLengthBits, in);
    if (e & kFlagInvalid) return CodecStatus::kDamaged;
    in.consume(entry_consume(e));
    unsigned length = entry_value(e);
    if (length == kSmallTreeSymbols - 1) length += in.take(8);
    length += min_length;
    if (in.overran()) return CodecStatus::kDamaged;
    // The zero-filled window covers every distance the format can code.
    for (; length != 0 && out.total_out() < out_nbytes; --length)
      if (!out.put(*(out.pos() - distance))) return CodecStatus::kStopped;
  }
  return in.bytes_remain() ? CodecStatus::kDoneInputLeft : CodecStatus::kDone;
}

}  // namespace ostrana
