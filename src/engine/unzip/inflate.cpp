/* engine/unzip/inflate.cpp - the deflate and Deflate64 expander.
 *
 * Layout: symbol meanings (templates) for both variants; block headers,
 * stored blocks and the dynamic code description; the Huffman block decoder
 * with its fast loop and its careful step.  See inflate.h for the design.
 *
 * The fast loop's invariants: at its top at least kFastInputMargin bytes of
 * input remain in the buffer (three word refills per iteration read at most
 * 29 bytes ahead) and at least kFastOutputMargin bytes of room remain in the
 * output (four literals plus one deflate match plus a copy's overshoot).
 * When either fails, the buffers are refilled or flushed and the loop goes
 * on; at the very end of the data the same loop runs in its tail form, which
 * checks after each codeword that it did not reach past the data.
 */
#include "engine/unzip/inflate.h"

#include <algorithm>
#include <cstring>

#include "engine/common/cpu_features.h"

namespace ostrana {

using namespace huffman;

namespace {

/// Three word refills per iteration read at most 3 x 7 + 8 bytes ahead.
constexpr size_t kFastInputMargin = 32;
constexpr size_t kMaxDeflateLength = 258;
/// How far a fast match copy may write past the end of the match.
constexpr size_t kCopyOvershoot = 32;
/// Literal lookups per refill in the fast loop: 4 x 11 bits, and 12 left to
/// look the next primary entry up.
constexpr unsigned kLiteralsPerRefill = 4;
/// The literals of one refill, one deflate match and the copy's overshoot.
constexpr size_t kFastOutputMargin = kLiteralsPerRefill + kMaxDeflateLength + kCopyOvershoot;

constexpr unsigned kCodelenBits = 7;
constexpr unsigned kNumCodelen = 19;

/// The order in which the code length code's lengths are sent (RFC 1951, 3.2.7).
constexpr uint8_t kCodelenOrder[kNumCodelen] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                11, 4, 12, 3, 13, 2, 14, 1, 15};

/// What each literal/length and distance symbol means, for one variant.
struct SymbolTemplates {
  uint32_t litlen[Inflater::kNumLitlen];
  uint32_t dist[Inflater::kNumDist];

  explicit SymbolTemplates(bool deflate64) {
    for (uint32_t s = 0; s < 256; ++s) litlen[s] = make_template(s, kFlagLiteral);
    litlen[256] = make_template(0, kFlagEndOfBlock);
    uint32_t base = 3;
    for (uint32_t s = 257; s < 285; ++s) {
      const uint32_t extra = s < 265 ? 0 : (s - 261) / 4;
      litlen[s] = make_template(base, 0, extra);
      base += uint32_t{1} << extra;
    }
    // Deflate64 gives code 285 a 16-bit extra field instead of the fixed 258.
    litlen[285] = deflate64 ? make_template(3, 0, 16) : make_template(258, 0, 0);
    litlen[286] = litlen[287] = make_template(0, kFlagInvalid);

    base = 1;
    for (uint32_t s = 0; s < 32; ++s) {
      const uint32_t extra = s < 4 ? 0 : (s - 2) / 2;
      // Codes 30 and 31 (distances beyond 32 KiB) exist only in Deflate64.
      dist[s] = (s < 30 || deflate64) ? make_template(base, 0, extra) : make_template(0, kFlagInvalid);
      base += uint32_t{1} << extra;
    }
  }
};

const SymbolTemplates& templates_for(bool deflate64) {
  static const SymbolTemplates deflate(false);
  static const SymbolTemplates deflate64_templates(true);
  return deflate64 ? deflate64_templates : deflate;
}

/// The value of entry @p e, its extra bits taken from @p bits (the bit buffer
/// before the entry was consumed).
inline uint32_t entry_value_with_extra(uint32_t e, uint64_t bits) {
  const uint32_t consume = e & 0xFF;
  const uint32_t code_bits = (e >> 8) & 0xF;
  return (e >> 16) + static_cast<uint32_t>((bits & ((uint64_t{1} << consume) - 1)) >> code_bits);
}

inline void copy8(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 8); }
inline void copy16(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 16); }

/// Copies a match of @p length bytes from @p distance back (1 <= distance <=
/// bytes before @p op).  May write up to kCopyOvershoot bytes past the end
/// of the match.  Short matches (most of them) take no loop at all.
inline void copy_match_fast(uint8_t* op, size_t distance, size_t length) {
  const uint8_t* src = op - distance;
  uint8_t* const end = op + length;
  if (distance >= 16) {
    copy16(op, src);
    copy16(op + 16, src + 16);
    if (length > 32) {
      op += 32;
      src += 32;
      do {
        copy16(op, src);
        op += 16;
        src += 16;
      } while (op < end);
    }
  } else if (distance >= 8) {
    copy8(op, src);
    copy8(op + 8, src + 8);
    copy8(op + 16, src + 16);
    copy8(op + 24, src + 24);
    if (length > 32) {
      op += 32;
      src += 32;
      do {
        copy8(op, src);
        op += 8;
        src += 8;
      } while (op < end);
    }
  } else if (distance == 1) {
    const uint64_t v = 0x0101010101010101ull * src[0];
    do {
      std::memcpy(op, &v, 8);
      std::memcpy(op + 8, &v, 8);
      op += 16;
    } while (op < end);
  } else {
    // Distances 2..7: the output repeats with the distance's period, so any
    // multiple of it is as good a distance.  Copy byte by byte until the
    // first multiple of at least 8 is reachable, then copy words from there.
    size_t period = distance;
    while (period < 8) period += distance;
    const size_t head = period - distance;
    for (size_t i = 0; i < head; ++i) op[i] = src[i];
    op += head;
    while (op < end) {
      copy8(op, op - period);
      op += 8;
    }
  }
}

}  // namespace

// ---- block level --------------------------------------------------------------

CodecStatus Inflater::run(BitInput& in, OutputWindow& out, bool deflate64) {
  m_in = &in;
  m_out = &out;
  m_deflate64 = deflate64;
  m_bmi2 = cpu_has_bmi2() && __builtin_cpu_supports("bmi");
  for (;;) {
    bool final_block = false;
    unsigned type = 0;
    CodecStatus st = read_block_header(&final_block, &type);
    if (st != CodecStatus::kDone) return st;
    switch (type) {
      case 0:
        st = copy_stored_block();
        break;
      case 1:
        if (!build_fixed_tables()) return CodecStatus::kDamaged;
        st = deflate64 ? decode_huffman_block<true>(m_fixed_litlen, m_fixed_dist)
                       : decode_huffman_block<false>(m_fixed_litlen, m_fixed_dist);
        break;
      case 2:
        st = read_dynamic_tables();
        if (st != CodecStatus::kDone) return st;
        st = deflate64 ? decode_huffman_block<true>(m_litlen, m_dist)
                       : decode_huffman_block<false>(m_litlen, m_dist);
        break;
      default:
        return CodecStatus::kDamaged;  // block type 3 is reserved
    }
    if (st != CodecStatus::kDone) return st;
    if (final_block) break;
  }
  return CodecStatus::kDone;
}

CodecStatus Inflater::read_block_header(bool* final_ret, unsigned* type_ret) {
  BitInput& in = *m_in;
  if (!in.refill()) return CodecStatus::kInputFailed;
  // The data may end between two blocks (a flushed stream without its final
  // block): at most the zero bits that pad the last byte are left.
  if (in.m_eof && in.m_next == in.m_end && in.real_bits() < 8 && in.peek(in.real_bits()) == 0)
    return CodecStatus::kEndedBetweenBlocks;
  *final_ret = in.take(1) != 0;
  *type_ret = in.take(2);
  return in.overran() ? CodecStatus::kDamaged : CodecStatus::kDone;
}

CodecStatus Inflater::copy_stored_block() {
  BitInput& in = *m_in;
  OutputWindow& out = *m_out;
  in.align_to_byte();
  if (!in.refill()) return CodecStatus::kInputFailed;
  const uint32_t len = in.take(16);
  const uint32_t nlen = in.take(16);
  if (in.overran() || len != (~nlen & 0xFFFF)) return CodecStatus::kDamaged;

  size_t left = len;
  // Whole bytes still in the bit buffer come first...
  while (left != 0 && in.real_bits() >= 8) {
    if (!out.put(static_cast<uint8_t>(in.take(8)))) return CodecStatus::kStopped;
    --left;
  }
  if (left != 0 && in.m_pad_bits != 0) return CodecStatus::kDamaged;  // the data ended
  if (left != 0) {
    // ...then the buffer.  Past this point the bit buffer is empty; its stale
    // upper bits would describe bytes that are now copied, so clear them.
    in.m_bits = 0;
    in.m_nbits = 0;
  }
  while (left != 0) {
    if (in.m_next == in.m_end) {
      if (in.m_eof) return CodecStatus::kDamaged;
      if (!in.fill_buffer()) return CodecStatus::kInputFailed;
      continue;
    }
    if (out.pos() == out.limit() && !out.flush()) return CodecStatus::kStopped;
    const size_t n = std::min({left, static_cast<size_t>(in.m_end - in.m_next),
                               static_cast<size_t>(out.limit() - out.pos())});
    std::memcpy(out.pos(), in.m_next, n);
    out.set_pos(out.pos() + n);
    in.m_next += n;
    left -= n;
  }
  return CodecStatus::kDone;
}

bool Inflater::build_fixed_tables() {
  const int kind = m_deflate64 ? 1 : 0;
  if (m_fixed_kind == kind) return true;
  const SymbolTemplates& t = templates_for(m_deflate64);
  uint8_t lengths[kNumLitlen];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  if (!build_canonical_table(lengths, kNumLitlen, t.litlen, Completeness::kComplete, kLitlenPrimaryBits,
                             m_fixed_litlen, kLitlenTableSize))
    return false;
  std::memset(lengths, 5, kNumDist);
  if (!build_canonical_table(lengths, kNumDist, t.dist, Completeness::kComplete, kDistPrimaryBits, m_fixed_dist,
                             kDistTableSize))
    return false;
  m_fixed_kind = kind;
  return true;
}

CodecStatus Inflater::read_dynamic_tables() {
  BitInput& in = *m_in;
  if (!in.refill()) return CodecStatus::kInputFailed;
  const unsigned nlitlen = in.take(5) + 257;
  const unsigned ndist = in.take(5) + 1;
  const unsigned ncodelen = in.take(4) + 4;
  if (nlitlen > 286) return CodecStatus::kDamaged;

  // The code that codes the code lengths.
  uint8_t codelen_lengths[kNumCodelen] = {};
  for (unsigned i = 0; i < ncodelen; ++i) {
    if (in.m_nbits < 3 && !in.refill()) return CodecStatus::kInputFailed;
    codelen_lengths[kCodelenOrder[i]] = static_cast<uint8_t>(in.take(3));
  }
  if (in.overran()) return CodecStatus::kDamaged;
  uint32_t codelen_templates[kNumCodelen];
  for (uint32_t s = 0; s < kNumCodelen; ++s) codelen_templates[s] = make_template(s, 0);
  uint32_t codelen_table[1u << kCodelenBits];
  if (!build_canonical_table(codelen_lengths, kNumCodelen, codelen_templates, Completeness::kComplete, kCodelenBits,
                             codelen_table, 1u << kCodelenBits))
    return CodecStatus::kDamaged;

  // The literal/length and distance code lengths, one run-length coded
  // sequence.  The bit buffer lives in locals here: the byte stores into
  // `lengths` would otherwise make the compiler reload it for every symbol.
  uint8_t lengths[kNumLitlen + kNumDist];
  const unsigned total = nlitlen + ndist;
  uint64_t bits = in.m_bits;
  unsigned nbits = in.m_nbits;
  unsigned pad_bits = in.m_pad_bits;
  unsigned i = 0;
  while (i < total) {
    // A code length symbol takes at most 7 + 7 bits.
    if (nbits < 16) {
      in.m_bits = bits;
      in.m_nbits = nbits;
      if (!in.refill()) return CodecStatus::kInputFailed;
      bits = in.m_bits;
      nbits = in.m_nbits;
      pad_bits = in.m_pad_bits;
    }
    const uint32_t e = codelen_table[bits & ((1u << kCodelenBits) - 1)];
    const unsigned used = entry_consume(e);
    bits >>= used;
    nbits -= used;
    const uint32_t sym = entry_value(e);
    if (sym < 16) {
      lengths[i++] = static_cast<uint8_t>(sym);
    } else {
      uint8_t value = 0;
      unsigned repeat;
      if (sym == 16) {
        if (i == 0) return CodecStatus::kDamaged;  // nothing to repeat
        value = lengths[i - 1];
        repeat = 3 + static_cast<unsigned>(bits & 3);
        bits >>= 2;
        nbits -= 2;
      } else if (sym == 17) {
        repeat = 3 + static_cast<unsigned>(bits & 7);
        bits >>= 3;
        nbits -= 3;
      } else {
        repeat = 11 + static_cast<unsigned>(bits & 127);
        bits >>= 7;
        nbits -= 7;
      }
      if (repeat > total - i) return CodecStatus::kDamaged;
      std::memset(lengths + i, value, repeat);
      i += repeat;
    }
    if (nbits < pad_bits) return CodecStatus::kDamaged;  // read past the end of the data
  }
  in.m_bits = bits;
  in.m_nbits = nbits;
  if (lengths[256] == 0) return CodecStatus::kDamaged;  // a block that could never end

  const SymbolTemplates& t = templates_for(m_deflate64);
  if (!build_canonical_table(lengths, nlitlen, t.litlen, Completeness::kComplete, kLitlenPrimaryBits, m_litlen,
                             kLitlenTableSize) ||
      !build_canonical_table(lengths + nlitlen, ndist, t.dist, Completeness::kDistanceCode, kDistPrimaryBits, m_dist,
                             kDistTableSize))
    return CodecStatus::kDamaged;
  return CodecStatus::kDone;
}

// ---- Huffman blocks -------------------------------------------------------------

template <bool kDeflate64>
CodecStatus Inflater::decode_huffman_block(const uint32_t* litlen, const uint32_t* dist) {
  return m_bmi2 ? decode_huffman_block_bmi2<kDeflate64>(litlen, dist) : decode_huffman_block_body<kDeflate64>(litlen, dist);
}

/// The same loop compiled for BMI1 and BMI2: shifts by a register count
/// (shrx) that leave the flags alone and masks by bzhi (which takes the
/// count from the low byte of an entry as it stands) shorten the work of
/// every symbol.  Chosen at run time.
template <bool kDeflate64>
__attribute__((target("bmi,bmi2"))) CodecStatus Inflater::decode_huffman_block_bmi2(const uint32_t* litlen,
                                                                               const uint32_t* dist) {
  return decode_huffman_block_body<kDeflate64>(litlen, dist);
}

template <bool kDeflate64>
inline __attribute__((always_inline)) CodecStatus Inflater::decode_huffman_block_body(const uint32_t* litlen,
                                                                                     const uint32_t* dist) {
  BitInput& in = *m_in;
  OutputWindow& out = *m_out;
  for (;;) {
    // The last bytes of the data go through the same loop with a check after
    // every codeword: the zero slack behind the buffer stands in for the
    // bytes that are not there, and consuming any of it is damage.
    const bool tail = in.m_eof && static_cast<size_t>(in.m_end - in.m_next) < kFastInputMargin;
    const LoopExit how = tail ? fast_loop<kDeflate64, true>(litlen, dist) : fast_loop<kDeflate64, false>(litlen, dist);
    switch (how) {
      case LoopExit::kEndOfBlock:
        return CodecStatus::kDone;
      case LoopExit::kDamaged:
        return CodecStatus::kDamaged;
      case LoopExit::kStopped:
        return CodecStatus::kStopped;
      case LoopExit::kLowRoom:
        break;
    }
    // The buffers ran low: flush the output, or read more input.
    if (static_cast<size_t>(out.limit() - out.pos()) < kFastOutputMargin) {
      if (!out.flush()) return CodecStatus::kStopped;
    } else if (static_cast<size_t>(in.m_end - in.m_next) < kFastInputMargin && !in.m_eof) {
      if (!in.fill_buffer()) return CodecStatus::kInputFailed;
    }
  }
}

/// The block loop proper, on local copies of the buffer state.  Outside the
/// tail at least kFastInputMargin bytes of input remain at the top of every
/// iteration; in the tail (the source has ended) the loop runs on until a
/// codeword would reach past the data, which it notices after consuming the
/// codeword and before writing anything for it.  Either way at least
/// kFastOutputMargin bytes of room remain.
template <bool kDeflate64, bool kTail>
inline __attribute__((always_inline)) Inflater::LoopExit Inflater::fast_loop(const uint32_t* litlen,
                                                                            const uint32_t* dist) {
  BitInput& in = *m_in;
  OutputWindow& out = *m_out;
  constexpr uint32_t kLitMask = (1u << kLitlenPrimaryBits) - 1;
  constexpr uint32_t kDistMask = (1u << kDistPrimaryBits) - 1;
  // Bits a distance needs at most: codeword plus extra bits.
  constexpr unsigned kDistMaxBits = kDeflate64 ? 15 + 14 : 15 + 13;

  uint64_t bits = in.m_bits;
  // Only the low six bits of the count are kept exact: entries are taken
  // off it whole (their bits above 0-7 spill into the upper bits), which
  // saves isolating the consume field for every symbol.  The shifts use the
  // low six bits alone anyway.
  uint64_t nbits = in.m_nbits;
  // The bit buffer always holds exactly the bits of the bytes before `ip`
  // that are not consumed yet.  Padding the careful refill counted stands
  // for zero bytes past the end, which the slack holds.
  const uint8_t* ip = in.m_next + in.m_pad_bits / 8;
  const uint8_t* const ip_end = in.m_end;
  uint8_t* op = out.pos();
  uint8_t* const op_limit = out.limit();
  const uint8_t* const base = out.base();
  LoopExit how = LoopExit::kLowRoom;

#define OSTRANA_NBITS() (nbits & 63)
#define OSTRANA_REFILL()                             \
  do {                                               \
    bits |= load_le64(ip) << OSTRANA_NBITS();        \
    ip += (~nbits >> 3) & 7;                         \
    nbits |= 56;                                     \
  } while (0)
#define OSTRANA_CONSUME(e)                           \
  do {                                               \
    bits >>= (e) & 63;                               \
    nbits -= (e);                                    \
  } while (0)
// In the tail: true once the consumed bits reach past the end of the data.
#define OSTRANA_PAST_END() \
  (kTail && (ip - ip_end) * 8 > static_cast<std::ptrdiff_t>(OSTRANA_NBITS()))
#define OSTRANA_CHECK_END()                          \
  if (OSTRANA_PAST_END()) {                          \
    how = LoopExit::kDamaged;                        \
    break;                                           \
  }
// One literal from the primary table.
#define OSTRANA_LITERAL()                            \
  OSTRANA_CONSUME(e);                                \
  OSTRANA_CHECK_END();                               \
  *op++ = static_cast<uint8_t>(e >> 16);             \
  e = litlen[bits & kLitMask]

  if ((kTail || static_cast<size_t>(ip_end - ip) >= kFastInputMargin) &&
      static_cast<size_t>(op_limit - op) >= kFastOutputMargin) {
    // The last positions at which an iteration may start (both inside the
    // buffers, as the test above shows).
    const uint8_t* const ip_stop = kTail ? ip_end : ip_end - kFastInputMargin;
    uint8_t* const op_stop = op_limit - kFastOutputMargin;
    OSTRANA_REFILL();
    // Invariant at the top of the loop: at least 56 bits in the buffer and
    // `e` is the primary entry of the next literal/length symbol.
    uint32_t e = litlen[bits & kLitMask];
    while ((kTail || ip <= ip_stop) && op <= op_stop) {
      if (e & kFlagLiteral) {
        // Up to four primary literal entries per refill (11 bits each at most).
        static_assert(kLiteralsPerRefill * kLitlenPrimaryBits + kLitlenPrimaryBits <= 56);
        OSTRANA_LITERAL();
        if (e & kFlagLiteral) {
          OSTRANA_LITERAL();
          if (e & kFlagLiteral) {
            OSTRANA_LITERAL();
            if (e & kFlagLiteral) {
              OSTRANA_LITERAL();
            }
          }
        }
        OSTRANA_REFILL();
        if (e & kFlagLiteral) continue;
      }
      if (e & kFlagsExceptional) {
        if (e & kFlagSubtable) {
          OSTRANA_CONSUME(e);
          e = litlen[entry_value(e) + (bits & ((1u << entry_code_bits(e)) - 1))];
          if (e & kFlagLiteral) {
            OSTRANA_CONSUME(e);
            OSTRANA_CHECK_END();
            *op++ = static_cast<uint8_t>(e >> 16);
            OSTRANA_REFILL();
            e = litlen[bits & kLitMask];
            continue;
          }
        }
        if (e & kFlagsExceptional) {
          if (e & kFlagEndOfBlock) {
            OSTRANA_CONSUME(e);
            how = OSTRANA_PAST_END() ? LoopExit::kDamaged : LoopExit::kEndOfBlock;
          } else {
            how = LoopExit::kDamaged;
          }
          break;
        }
      }
      // A length: base and extra bits come with the entry.  A deflate length
      // and its distance take at most 20 + 28 of the 64 bits the last refill
      // loaded (only 56 of them are counted, but all are the stream's next
      // bits), which leaves 16 for looking the next symbol up before the
      // next refill.  Deflate64's longer lengths may need a refill between.
      const size_t length = entry_value_with_extra(e, bits);
      OSTRANA_CONSUME(e);
      if (kDeflate64 && OSTRANA_NBITS() < kDistMaxBits + kLitlenPrimaryBits) OSTRANA_REFILL();
      e = dist[bits & kDistMask];
      if (e & kFlagsExceptional) {
        if (e & kFlagSubtable) {
          OSTRANA_CONSUME(e);
          e = dist[entry_value(e) + (bits & ((1u << entry_code_bits(e)) - 1))];
        }
        if (e & kFlagsExceptional) {
          how = LoopExit::kDamaged;
          break;
        }
      }
      const size_t distance = entry_value_with_extra(e, bits);
      OSTRANA_CONSUME(e);
      OSTRANA_CHECK_END();
      if (distance > static_cast<size_t>(op - base)) {
        how = LoopExit::kDamaged;  // reaches before the start of the output
        break;
      }
      // Look the next symbol up before refilling and copying, so that the
      // load overlaps both.
      e = litlen[bits & kLitMask];
      OSTRANA_REFILL();
      if (kDeflate64 && length > kMaxDeflateLength &&
          length + kCopyOvershoot > static_cast<size_t>(op_limit - op)) {
        // A Deflate64 match longer than the room left: copy it the careful
        // way, then start over with fresh locals (the window may slide).
        out.set_pos(op);
        if (!copy_match_careful(distance, length)) how = LoopExit::kStopped;
        op = out.pos();
        break;
      }
      copy_match_fast(op, distance, length);
      op += length;
    }
  }
#undef OSTRANA_LITERAL
#undef OSTRANA_CHECK_END
#undef OSTRANA_PAST_END
#undef OSTRANA_REFILL
#undef OSTRANA_CONSUME
#undef OSTRANA_NBITS

  // Back to the buffer's own terms: bytes read past the end are padding.
  in.m_bits = bits;
  in.m_nbits = static_cast<unsigned>(nbits & 63);
  if (ip > ip_end) {
    in.m_next = ip_end;
    in.m_pad_bits = static_cast<unsigned>(ip - ip_end) * 8;
  } else {
    in.m_next = ip;
    in.m_pad_bits = 0;
  }
  out.set_pos(op);
  return how;
}

bool Inflater::copy_match_careful(size_t distance, size_t length) {
  OutputWindow& out = *m_out;
  // The window keeps at least `distance` bytes of history across a flush, so
  // the source of the match stays reachable while it is copied in pieces.
  while (length != 0) {
    if (out.pos() == out.limit() && !out.flush()) return false;
    uint8_t* op = out.pos();
    const size_t n = std::min(length, static_cast<size_t>(out.limit() - op));
    const uint8_t* src = op - distance;
    if (distance >= n) {
      std::memcpy(op, src, n);
    } else if (distance == 1) {
      std::memset(op, src[0], n);
    } else {
      for (size_t i = 0; i < n; ++i) op[i] = src[i];
    }
    out.set_pos(op + n);
    length -= n;
  }
  return true;
}

template CodecStatus Inflater::decode_huffman_block<false>(const uint32_t*, const uint32_t*);
template CodecStatus Inflater::decode_huffman_block<true>(const uint32_t*, const uint32_t*);

}  // namespace ostrana
