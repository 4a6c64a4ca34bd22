/* engine/zip/deflate_trees.h - deflate blocks: symbol buffer, block choice, bit output.
 *
 * A parser (deflate_chunk.h) records each literal and each match here and
 * decides where a block ends; the writer only says when its symbol buffer is
 * full.  At the end of a block the writer builds the trees, computes the exact
 * size of the block with dynamic trees, with the fixed trees and stored, and
 * writes the smallest permitted kind (chooseBlockKind()).  The whole entry may
 * be handed over uncompressed instead when that is smallest and the caller
 * allows it.
 *
 * A chunk that is not the last of its entry ends with an empty stored block,
 * so that its output ends on a byte boundary and the outputs of the chunks,
 * compressed one after another or side by side, join into one stream.
 *
 * Output goes through a 64-bit bit buffer into a byte buffer that is handed to
 * the ByteSink between blocks; stored data is passed to the sink straight from
 * the chunk.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/byte_stream.h"
#include "engine/zip/deflate_format.h"
#include "engine/zip/deflate_huffman.h"

namespace ostrana::deflate {

// ---- block choice -------------------------------------------------------------------

enum class BlockKind {
  kStoredEntry,  ///< the whole entry, uncompressed, instead of a deflate stream
  kStored,       ///< a stored block (or several: at most 65,535 bytes each)
  kFixed,        ///< a block coded with the fixed trees
  kDynamic,      ///< a block with its own trees
};

/// What the caller permits (see DeflateOptions in deflate.h).
struct BlockPolicy {
  bool allow_stored_entry = false;
  bool allow_stored_blocks = true;
  bool allow_fixed_blocks = true;
};

/// The sizes of one block in every form, in bytes, and its situation.
struct BlockCosts {
  uint64_t stored_nbytes = 0;   ///< the block's input as stored blocks, headers included
  uint64_t input_nbytes = 0;    ///< the block's input itself
  uint64_t fixed_nbytes = 0;    ///< with the fixed trees
  uint64_t dynamic_nbytes = 0;  ///< with its own trees, the tree description included
  bool last = false;            ///< the input ends with this block
  bool first = false;           ///< nothing of the entry has been written yet
  bool input_available = false; ///< the block's input is still in the window
};

/// Picks the kind of a block: the whole entry stored when this is the only
/// block, its input is at hand, storing is not larger than the best coded form
/// and the policy allows it; else a stored block when that is not larger than the
/// best coded form (and allowed and the input is at hand); else fixed trees when
/// they are not larger than dynamic ones (and allowed); else dynamic trees.
BlockKind chooseBlockKind(const BlockCosts& costs, const BlockPolicy& policy);

// ---- the block writer -----------------------------------------------------------------

class BlockWriter {
 public:
  BlockWriter() = default;
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;
  ~BlockWriter();

  /// Allocates the buffers for the format (once; later calls reuse them).
  /// @return false when memory is short.
  bool allocate(bool is64);

  /// Starts a chunk: @p first_chunk says nothing of the entry was written yet,
  /// @p sink gets the output.
  void startChunk(const BlockPolicy& policy, ByteSink* sink, bool first_chunk);

  /// Matches a block holds at most.
  static constexpr uint32_t kMatchCapacity = 65536;

  /// Records a literal: the block's next input byte, @p c.  Literals take no
  /// room in the block (they are read back from its input); the parser
  /// bounds the block's input.  @return false (a literal never fills the block).
  bool tallyLiteral(uint8_t c) {
    ++m_litFreq[c];
    ++m_litrun;
    ++m_blockInput;
    return false;
  }

  /// Records a match of @p len bytes at distance @p dist.  @return true when the block is full.
  bool tallyMatch(uint32_t dist, uint32_t len) {
    Sequence& q = m_seqs[m_nseqs++];
    q.litrun = static_cast<uint32_t>(m_litrun);
    q.len3 = static_cast<uint16_t>(len - kMinMatch);
    q.dist = static_cast<uint16_t>(dist);
    m_litrun = 0;
    ++m_litFreq[257 + lengthIndex(len)];
    ++m_distFreq[distCode(dist)];
    m_blockInput += len;
    return m_nseqs >= kMatchCapacity;
  }

  /// Ends the current block: @p data is its input, @p last says the entry ends
  /// with it.  @return 0, or the sink's result code.
  int flushBlock(const uint8_t* data, bool last);

  /// Ends a chunk that is not the entry's last: an empty stored block brings
  /// the output to a byte boundary, and everything goes to the sink.
  int endChunk();


  /// Input bytes recorded in the current block.
  uint64_t blockInput() const { return m_blockInput; }
  /// Compressed bytes handed to the sink so far.
  uint64_t outputNbytes() const { return m_written; }
  /// The entry went out uncompressed (BlockKind::kStoredEntry).
  bool storedEntry() const { return m_storedEntry; }

 private:
  uint32_t lengthIndex(uint32_t len) const {
    uint32_t l3 = len - kMinMatch;
    return l3 < 256 ? m_lengthIndex[l3] : 28;
  }

  void buildTrees();
  uint64_t dynamicBits() const;
  uint64_t fixedBits() const;
  uint64_t extraBits() const;
  void prepareRunLengths();

  int ensureRoom(uint64_t nbytes);
  int drain();
  void putBits(uint64_t bits, uint32_t nbits);
  void alignToByte();
  int writeStored(const uint8_t* data, uint64_t nbytes, bool last);
  void writeTreeDescription();
  template <bool kIs64>
  void writeSymbols(const uint8_t* data, const uint16_t* lit_codes, const uint8_t* lit_lens,
                    const uint16_t* dist_codes, const uint8_t* dist_lens);
  void resetBlock();

  // format and policy
  bool m_is64 = false;
  int m_distCodes = 30;
  const uint8_t* m_lengthIndex = nullptr;
  BlockPolicy m_policy;
  ByteSink* m_sink = nullptr;

  // the block being collected
  /// A match and the run of literals before it.  Deflate64's lengths and
  /// distances fit 16 bits as well: length - 3 <= 65,519, distance <= 65,535.
  struct Sequence {
    uint32_t litrun;
    uint16_t len3;
    uint16_t dist;
  };
  Sequence* m_seqs = nullptr;
  // Counters are size_t, not uint32_t: the frequency increments of the tally
  // functions then cannot alias them, and they stay in registers.
  size_t m_nseqs = 0;
  size_t m_litrun = 0;  // literals since the last match
  uint64_t m_blockInput = 0;
  uint32_t m_litFreq[kFixedLitLenCodes] = {};
  uint32_t m_distFreq[kMaxDistCodes] = {};

  // trees of the block
  HuffmanScratch* m_scratch = nullptr;
  uint8_t m_litLens[kFixedLitLenCodes] = {};
  uint8_t m_distLens[kMaxDistCodes] = {};
  uint16_t m_litCodes[kFixedLitLenCodes] = {};
  uint16_t m_distCodesTable[kMaxDistCodes] = {};
  int m_hlit = 257, m_hdist = 1, m_hclen = 4;
  uint8_t m_runSyms[kFixedLitLenCodes + kMaxDistCodes];
  uint8_t m_runExtra[kFixedLitLenCodes + kMaxDistCodes];
  int m_nruns = 0;
  uint32_t m_blFreq[kBitLenCodes] = {};
  uint8_t m_blLens[kBitLenCodes] = {};
  uint16_t m_blCodes[kBitLenCodes] = {};

  // output
  uint8_t* m_out = nullptr;
  size_t m_outAvail = 0;
  size_t m_outUsed = 0;
  uint64_t m_bitbuf = 0;
  uint32_t m_bitcount = 0;
  uint64_t m_written = 0;
  bool m_firstBlock = true;
  bool m_storedEntry = false;
};

}  // namespace ostrana::deflate
