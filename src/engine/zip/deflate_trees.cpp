/* engine/zip/deflate_trees.cpp - deflate blocks: trees, sizes, block choice and bit output.
 *
 * The literal/length and distance code lengths of a block are written as one
 * run-length coded sequence (codes 16, 17, 18 may run across the border between
 * the two, as the format allows); that sequence is coded with the code-length
 * code, whose lengths are sent in the format's fixed permuted order with
 * trailing zeros cut.  The symbol loop keeps the bit buffer in registers and
 * stores eight bytes at a time; the output buffer is sized before each block
 * from the block's exact size, so the loop needs no bounds checks.
 */
#include "engine/zip/deflate_trees.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "ostrana_results.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the bit writer stores its 64-bit buffer as little-endian bytes");

namespace ostrana::deflate {

namespace {

constexpr uint32_t kStoredMax = 65535;        // longest stored block
constexpr size_t kOutInitial = 256 * 1024;    // output buffer, grown when a block needs more
constexpr size_t kOutSlack = 16;              // the 8-byte stores may run past the last byte
constexpr uint8_t kBitLenOrder[kBitLenCodes] = {16, 17, 18, 0, 8, 7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

/// Length code index (code - 257) for length - 3, one table per format: they
/// differ only at length 258 (code 285 in deflate, 284 with 31 extra in Deflate64).
struct LengthIndexTables {
  uint8_t deflate[256];
  uint8_t deflate64[256];
  LengthIndexTables() {
    for (int l3 = 0; l3 < 256; ++l3) {
      int len = l3 + kMinMatch, i = 27;
      while (kLengthBase[i] > len) --i;
      deflate[l3] = deflate64[l3] = static_cast<uint8_t>(i);
    }
    deflate[255] = 28;
  }
};
const LengthIndexTables& lengthIndexTables() {
  static const LengthIndexTables tables;
  return tables;
}

/// The fixed codes of the format.
struct FixedCodes {
  uint8_t lit_lens[kFixedLitLenCodes];
  uint16_t lit_codes[kFixedLitLenCodes];
  uint8_t dist_lens[kMaxDistCodes];
  uint16_t dist_codes[kMaxDistCodes];
  FixedCodes() {
    for (int s = 0; s < kFixedLitLenCodes; ++s)
      lit_lens[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (int s = 0; s < kMaxDistCodes; ++s) dist_lens[s] = 5;
    buildCanonicalCodes(lit_lens, kFixedLitLenCodes, lit_codes);
    buildCanonicalCodes(dist_lens, kMaxDistCodes, dist_codes);
  }
};
const FixedCodes& fixedCodes() {
  static const FixedCodes codes;
  return codes;
}

}  // namespace

// ---- block choice -------------------------------------------------------------------

BlockKind chooseBlockKind(const BlockCosts& costs, const BlockPolicy& policy) {
  uint64_t best = costs.fixed_nbytes < costs.dynamic_nbytes ? costs.fixed_nbytes : costs.dynamic_nbytes;
  if (costs.last && costs.first && costs.input_available && policy.allow_stored_entry &&
      costs.input_nbytes <= best)
    return BlockKind::kStoredEntry;
  if (costs.input_available && policy.allow_stored_blocks && costs.stored_nbytes <= best)
    return BlockKind::kStored;
  if (policy.allow_fixed_blocks && costs.fixed_nbytes <= costs.dynamic_nbytes) return BlockKind::kFixed;
  return BlockKind::kDynamic;
}

// ---- set-up -----------------------------------------------------------------------------

BlockWriter::~BlockWriter() {
  delete[] m_seqs;
  delete m_scratch;
  std::free(m_out);
}

bool BlockWriter::allocate(bool is64) {
  if (m_seqs == nullptr) m_seqs = new (std::nothrow) Sequence[kMatchCapacity];
  if (m_scratch == nullptr) m_scratch = new (std::nothrow) HuffmanScratch;
  if (m_out == nullptr) {
    m_out = static_cast<uint8_t*>(std::malloc(kOutInitial + kOutSlack));
    m_outAvail = m_out ? kOutInitial : 0;
  }
  m_is64 = is64;
  m_distCodes = is64 ? Format64::kDistCodes : Format32::kDistCodes;
  m_lengthIndex = is64 ? lengthIndexTables().deflate64 : lengthIndexTables().deflate;
  fixedCodes();
  return m_seqs && m_scratch && m_out;
}

void BlockWriter::startChunk(const BlockPolicy& policy, ByteSink* sink, bool first_chunk) {
  m_policy = policy;
  m_sink = sink;
  m_outUsed = 0;
  m_bitbuf = 0;
  m_bitcount = 0;
  m_written = 0;
  m_firstBlock = first_chunk;
  m_storedEntry = false;
  resetBlock();
}

void BlockWriter::resetBlock() {
  std::memset(m_litFreq, 0, sizeof m_litFreq);
  std::memset(m_distFreq, 0, sizeof m_distFreq);
  m_nseqs = 0;
  m_litrun = 0;
  m_blockInput = 0;
}

// ---- trees and sizes ------------------------------------------------------------------

void BlockWriter::buildTrees() {
  buildCodeLengths(m_litFreq, kLitLenCodes, kMaxCodeBits, *m_scratch, m_litLens);
  m_litLens[286] = m_litLens[287] = 0;
  buildCodeLengths(m_distFreq, m_distCodes, kMaxCodeBits, *m_scratch, m_distLens);
  buildCanonicalCodes(m_litLens, kLitLenCodes, m_litCodes);
  buildCanonicalCodes(m_distLens, m_distCodes, m_distCodesTable);
  prepareRunLengths();
}

void BlockWriter::prepareRunLengths() {
  m_hlit = kLitLenCodes;
  while (m_hlit > 257 && m_litLens[m_hlit - 1] == 0) --m_hlit;
  m_hdist = m_distCodes;
  while (m_hdist > 1 && m_distLens[m_hdist - 1] == 0) --m_hdist;

  uint8_t lens[kLitLenCodes + kMaxDistCodes];
  std::memcpy(lens, m_litLens, static_cast<size_t>(m_hlit));
  std::memcpy(lens + m_hlit, m_distLens, static_cast<size_t>(m_hdist));
  const int total = m_hlit + m_hdist;

  std::memset(m_blFreq, 0, sizeof m_blFreq);
  m_nruns = 0;
  auto emit = [this](int sym, int extra) {
    m_runSyms[m_nruns] = static_cast<uint8_t>(sym);
    m_runExtra[m_nruns] = static_cast<uint8_t>(extra);
    ++m_nruns;
    ++m_blFreq[sym];
  };
  for (int i = 0; i < total;) {
    int v = lens[i], run = 1;
    while (i + run < total && lens[i + run] == v) ++run;
    i += run;
    if (v == 0) {
      while (run >= 11) {
        int n = run < 138 ? run : 138;
        emit(18, n - 11);
        run -= n;
      }
      if (run >= 3) {
        emit(17, run - 3);
        run = 0;
      }
    } else {
      emit(v, 0);
      --run;
      while (run >= 3) {
        int n = run < 6 ? run : 6;
        emit(16, n - 3);
        run -= n;
      }
    }
    while (run-- > 0) emit(v, 0);
  }

  buildCodeLengths(m_blFreq, kBitLenCodes, kMaxBitLenBits, *m_scratch, m_blLens);
  buildCanonicalCodes(m_blLens, kBitLenCodes, m_blCodes);
  m_hclen = kBitLenCodes;
  while (m_hclen > 4 && m_blLens[kBitLenOrder[m_hclen - 1]] == 0) --m_hclen;
}

uint64_t BlockWriter::extraBits() const {
  uint64_t bits = 0;
  for (int i = 0; i < 29; ++i) {
    uint32_t extra = i == 28 && m_is64 ? 16 : kLengthExtra[i];
    bits += static_cast<uint64_t>(m_litFreq[257 + i]) * extra;
  }
  for (int d = 0; d < m_distCodes; ++d) bits += static_cast<uint64_t>(m_distFreq[d]) * kDistExtra[d];
  return bits;
}

uint64_t BlockWriter::dynamicBits() const {
  uint64_t bits = 3 + 5 + 5 + 4 + 3 * static_cast<uint64_t>(m_hclen);
  for (int s = 0; s < kBitLenCodes; ++s) bits += static_cast<uint64_t>(m_blFreq[s]) * m_blLens[s];
  bits += 2 * static_cast<uint64_t>(m_blFreq[16]) + 3 * static_cast<uint64_t>(m_blFreq[17]) +
          7 * static_cast<uint64_t>(m_blFreq[18]);
  for (int s = 0; s < kLitLenCodes; ++s) bits += static_cast<uint64_t>(m_litFreq[s]) * m_litLens[s];
  for (int d = 0; d < m_distCodes; ++d) bits += static_cast<uint64_t>(m_distFreq[d]) * m_distLens[d];
  return bits + extraBits();
}

uint64_t BlockWriter::fixedBits() const {
  const FixedCodes& fixed = fixedCodes();
  uint64_t bits = 3;
  for (int s = 0; s < kLitLenCodes; ++s) bits += static_cast<uint64_t>(m_litFreq[s]) * fixed.lit_lens[s];
  for (int d = 0; d < m_distCodes; ++d) bits += static_cast<uint64_t>(m_distFreq[d]) * 5;
  return bits + extraBits();
}

// ---- output -------------------------------------------------------------------------------

int BlockWriter::drain() {
  if (m_outUsed == 0) return 0;
  int rc = m_sink->write(m_out, m_outUsed);
  m_written += m_outUsed;
  m_outUsed = 0;
  return rc;
}

int BlockWriter::ensureRoom(uint64_t nbytes) {
  if (m_outUsed + nbytes + 8 <= m_outAvail) return 0;
  if (int rc = drain()) return rc;
  if (nbytes + 8 <= m_outAvail) return 0;
  size_t want = static_cast<size_t>(nbytes + 8);
  uint8_t* grown = static_cast<uint8_t*>(std::malloc(want + kOutSlack));
  if (grown == nullptr) return OZ_OUT_OF_MEMORY;
  std::free(m_out);
  m_out = grown;
  m_outAvail = want;
  return 0;
}

void BlockWriter::putBits(uint64_t bits, uint32_t nbits) {
  m_bitbuf |= bits << m_bitcount;
  m_bitcount += nbits;
  if (m_bitcount >= 32) {
    std::memcpy(m_out + m_outUsed, &m_bitbuf, 8);
    m_outUsed += 4;
    m_bitbuf >>= 32;
    m_bitcount -= 32;
  }
}

void BlockWriter::alignToByte() {
  std::memcpy(m_out + m_outUsed, &m_bitbuf, 8);
  m_outUsed += (m_bitcount + 7) / 8;
  m_bitbuf = 0;
  m_bitcount = 0;
}

int BlockWriter::writeStored(const uint8_t* data, uint64_t nbytes, bool last) {
  do {
    uint32_t chunk = nbytes < kStoredMax ? static_cast<uint32_t>(nbytes) : kStoredMax;
    nbytes -= chunk;
    if (int rc = ensureRoom(16)) return rc;
    putBits(last && nbytes == 0 ? 1 : 0, 1);  // BFINAL
    putBits(0, 2);                            // BTYPE: stored
    alignToByte();
    putBits(chunk, 16);                       // LEN
    putBits(~chunk & 0xFFFFu, 16);            // NLEN
    if (int rc = drain()) return rc;
    if (chunk != 0) {
      if (int rc = m_sink->write(data, chunk)) return rc;
      m_written += chunk;
      data += chunk;
    }
  } while (nbytes != 0);
  return 0;
}

void BlockWriter::writeTreeDescription() {
  putBits(static_cast<uint32_t>(m_hlit - 257), 5);
  putBits(static_cast<uint32_t>(m_hdist - 1), 5);
  putBits(static_cast<uint32_t>(m_hclen - 4), 4);
  for (int i = 0; i < m_hclen; ++i) putBits(m_blLens[kBitLenOrder[i]], 3);
  for (int r = 0; r < m_nruns; ++r) {
    int sym = m_runSyms[r];
    putBits(m_blCodes[sym], m_blLens[sym]);
    if (sym == 16) putBits(m_runExtra[r], 2);
    else if (sym == 17) putBits(m_runExtra[r], 3);
    else if (sym == 18) putBits(m_runExtra[r], 7);
  }
}

template <bool kIs64>
void BlockWriter::writeSymbols(const uint8_t* data, const uint16_t* lit_codes, const uint8_t* lit_lens,
                               const uint16_t* dist_codes, const uint8_t* dist_lens) {
  // Code and extra bits of every length up to 258 in one table entry.
  uint32_t len_bits[256];
  uint8_t len_nbits[256];
  for (uint32_t l3 = 0; l3 < 256; ++l3) {
    uint32_t code = 257 + m_lengthIndex[l3];
    LengthCodeInfo info = lengthCodeInfo<std::conditional_t<kIs64, Format64, Format32>>(code);
    len_bits[l3] = lit_codes[code] | ((l3 + kMinMatch - info.base) << lit_lens[code]);
    len_nbits[l3] = static_cast<uint8_t>(lit_lens[code] + info.extra);
  }
  uint32_t dist_bits[kMaxDistCodes];
  uint8_t dist_nbits[kMaxDistCodes];
  for (int d = 0; d < kMaxDistCodes; ++d) {
    dist_bits[d] = dist_codes[d];
    dist_nbits[d] = static_cast<uint8_t>(dist_lens[d] + kDistExtra[d]);
  }

  // The bit buffer is brought below one byte after every symbol (and after
  // every three literals), so that one match (at most 48 bits in deflate, 31
  // + 29 in Deflate64) or three literals always fit its 64 bits.
  uint8_t* out = m_out + m_outUsed;
  uint64_t bitbuf = m_bitbuf;
  uint32_t bitcount = m_bitcount;
  auto flush = [&]() {
    std::memcpy(out, &bitbuf, 8);
    out += bitcount >> 3;
    bitbuf >>= bitcount & ~7u;
    bitcount &= 7;
  };
  auto literals = [&](const uint8_t* p, size_t n) {
    for (; n >= 3; n -= 3, p += 3) {
      bitbuf |= static_cast<uint64_t>(lit_codes[p[0]]) << bitcount;
      bitcount += lit_lens[p[0]];
      bitbuf |= static_cast<uint64_t>(lit_codes[p[1]]) << bitcount;
      bitcount += lit_lens[p[1]];
      bitbuf |= static_cast<uint64_t>(lit_codes[p[2]]) << bitcount;
      bitcount += lit_lens[p[2]];
      flush();
    }
    for (; n != 0; --n, ++p) {
      bitbuf |= static_cast<uint64_t>(lit_codes[*p]) << bitcount;
      bitcount += lit_lens[*p];
    }
    flush();
  };
  flush();

  const uint8_t* in = data;
  const Sequence* const seqs = m_seqs;
  const size_t n = m_nseqs;
  for (size_t i = 0; i < n; ++i) {
    const Sequence q = seqs[i];
    if (q.litrun != 0) {
      literals(in, q.litrun);
      in += q.litrun;
    }
    const uint32_t l3 = q.len3;
    if (!kIs64 || l3 < 256) {
      bitbuf |= static_cast<uint64_t>(len_bits[l3]) << bitcount;
      bitcount += len_nbits[l3];
    } else {
      uint64_t bits = lit_codes[285] | (static_cast<uint64_t>(l3) << lit_lens[285]);
      bitbuf |= bits << bitcount;
      bitcount += lit_lens[285] + 16u;
    }
    if (kIs64) flush();
    const uint32_t dist = q.dist;
    const uint32_t dc = distCode(dist);
    const uint64_t bits = dist_bits[dc] | (static_cast<uint64_t>(dist - kDistBase[dc]) << dist_lens[dc]);
    bitbuf |= bits << bitcount;
    bitcount += dist_nbits[dc];
    flush();
    in += l3 + kMinMatch;
  }
  if (m_litrun != 0) literals(in, m_litrun);
  // End of block.
  bitbuf |= static_cast<uint64_t>(lit_codes[kEndOfBlock]) << bitcount;
  bitcount += lit_lens[kEndOfBlock];
  flush();

  m_outUsed = static_cast<size_t>(out - m_out);
  m_bitbuf = bitbuf;
  m_bitcount = bitcount;
}

int BlockWriter::endChunk() {
  if (int rc = ensureRoom(16)) return rc;
  putBits(0, 1);  // BFINAL: more follows
  putBits(0, 2);  // BTYPE: stored
  alignToByte();
  putBits(0, 16);       // LEN
  putBits(0xFFFF, 16);  // NLEN
  return drain();
}

// ---- one block ------------------------------------------------------------------------------

int BlockWriter::flushBlock(const uint8_t* data, bool last) {
  m_litFreq[kEndOfBlock] = 1;
  buildTrees();

  BlockCosts costs;
  costs.input_nbytes = m_blockInput;
  uint64_t chunks = m_blockInput == 0 ? 1 : (m_blockInput + kStoredMax - 1) / kStoredMax;
  costs.stored_nbytes = m_blockInput + 5 * chunks;
  uint64_t dyn_bits = dynamicBits();
  uint64_t fixed_bits = fixedBits();
  costs.dynamic_nbytes = (dyn_bits + 7) / 8;
  costs.fixed_nbytes = (fixed_bits + 7) / 8;
  costs.last = last;
  costs.first = m_firstBlock;
  costs.input_available = data != nullptr;

  int rc = 0;
  switch (chooseBlockKind(costs, m_policy)) {
    case BlockKind::kStoredEntry:
      if (m_blockInput != 0) rc = m_sink->write(data, static_cast<size_t>(m_blockInput));
      m_written += m_blockInput;
      m_storedEntry = true;
      break;
    case BlockKind::kStored:
      rc = writeStored(data, m_blockInput, last);
      break;
    case BlockKind::kFixed: {
      if ((rc = ensureRoom(costs.fixed_nbytes + 16)) != 0) break;
      putBits(last ? 1 : 0, 1);
      putBits(1, 2);  // BTYPE: fixed trees
      const FixedCodes& fixed = fixedCodes();
      if (m_is64) writeSymbols<true>(data, fixed.lit_codes, fixed.lit_lens, fixed.dist_codes, fixed.dist_lens);
      else writeSymbols<false>(data, fixed.lit_codes, fixed.lit_lens, fixed.dist_codes, fixed.dist_lens);
      break;
    }
    case BlockKind::kDynamic:
      if ((rc = ensureRoom(costs.dynamic_nbytes + 16)) != 0) break;
      putBits(last ? 1 : 0, 1);
      putBits(2, 2);  // BTYPE: dynamic trees
      writeTreeDescription();
      if (m_is64) writeSymbols<true>(data, m_litCodes, m_litLens, m_distCodesTable, m_distLens);
      else writeSymbols<false>(data, m_litCodes, m_litLens, m_distCodesTable, m_distLens);
      break;
  }
  m_firstBlock = false;
  resetBlock();
  if (rc == 0 && last && !m_storedEntry) {
    if ((rc = ensureRoom(8)) == 0) {
      alignToByte();
      rc = drain();
    }
  }
  return rc;
}

}  // namespace ostrana::deflate
