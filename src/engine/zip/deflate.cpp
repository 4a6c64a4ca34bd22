/* engine/zip/deflate.cpp - the deflate and Deflate64 compressors: levels, chunks, the API.
 *
 * compress() reads the entry chunk by chunk into one buffer that keeps the
 * last window of the previous chunk in front of the next one, and hands each
 * chunk to the level's parser (deflate_chunk.h).  It reads one byte beyond a
 * full chunk before compressing it, so that the chunk knows whether it is the
 * entry's last: the stream depends on the entry's bytes alone, never on how
 * the source hands them out.  compressChunk() runs the same step on a chunk
 * that the caller has put in memory.
 */
#include "engine/zip/deflate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/zip/deflate_chunk.h"
#include "engine/zip/deflate_format.h"
#include "engine/zip/deflate_trees.h"
#include "ostrana_results.h"

namespace ostrana {

using namespace deflate;

static_assert(kDeflateChunkNbytes == kChunkNbytes && kDeflateChunkPadding == kChunkPadding,
              "the public chunk figures are the compressor's own");

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

// ---- the compressor ---------------------------------------------------------------------------

static_assert(DeflateChunkReader::kBufferNbytes >= 65536 + kChunkNbytes + 1 + kChunkPadding,
              "a chunk buffer holds the history, the chunk, the look-ahead byte and the padding");

int DeflateChunkReader::next(ByteSource& in, uint8_t* buf, const DeflateChunk* prev, DeflateChunk* chunk_ret) {
  size_t history = 0;
  if (prev != nullptr) {
    const size_t total = prev->history_nbytes + prev->nbytes;
    history = std::min(m_window, total);
    std::memmove(buf, prev->data + prev->nbytes - history, history);
  }
  uint8_t* const data = buf + history;
  size_t have = 0;
  if (m_haveCarry) data[have++] = m_carry;
  bool ended = false;
  while (have < kChunkNbytes + 1) {
    std::ptrdiff_t n = in.read(data + have, kChunkNbytes + 1 - have);
    if (n < 0) return in.error() != 0 ? in.error() : OZ_READ_FAILED;
    if (n == 0) {
      ended = true;
      break;
    }
    have += static_cast<size_t>(n);
    m_nbytes += static_cast<uint64_t>(n);
  }
  DeflateChunk chunk;
  chunk.data = data;
  chunk.history_nbytes = history;
  chunk.nbytes = std::min<size_t>(have, kChunkNbytes);
  chunk.first = prev == nullptr;
  chunk.last = ended && have <= kChunkNbytes;
  m_haveCarry = !chunk.last;
  if (m_haveCarry) m_carry = data[kChunkNbytes];
  std::memset(data + chunk.nbytes, 0, kChunkPadding);
  *chunk_ret = chunk;
  return 0;
}

struct DeflateCompressor::Impl {
  ~Impl() { std::free(buffer); }

  uint8_t* buffer = nullptr;  // compress(): history, chunk and the look-ahead byte
  BlockWriter blocks;
  std::unique_ptr<ChunkParser> parsers[2][2];  // [optimal][deflate64]

  int chunk(const DeflateChunk& chunk, ByteSink& out, const DeflateOptions& options, DeflateResult& result);
};

int DeflateCompressor::Impl::chunk(const DeflateChunk& chunk, ByteSink& out, const DeflateOptions& options,
                                   DeflateResult& result) {
  ChunkInput in;
  in.base = chunk.data - chunk.history_nbytes;
  in.dict_nbytes = static_cast<uint32_t>(chunk.history_nbytes);
  in.nbytes = static_cast<uint32_t>(chunk.nbytes);
  in.last = chunk.last;
  const bool is64 = options.deflate64;
  const LevelConfig& config = kLevelTable[std::clamp(options.level, 1, 9)];
  const bool optimal = config.parse == Parse::kOptimal;
  std::unique_ptr<ChunkParser>& parser = parsers[optimal][is64];
  if (!parser) {
    parser = optimal ? makeOptimalParser(is64) : makeChainParser(is64);
    if (!parser) {
      result.detail = "hash table allocation";
      return OZ_OUT_OF_MEMORY;
    }
  }
  if (const char* detail = parser->allocate()) {
    result.detail = detail;
    parser.reset();
    return OZ_OUT_OF_MEMORY;
  }
  if (!blocks.allocate(is64)) {
    result.detail = "ct_init: out of memory";
    return OZ_OUT_OF_MEMORY;
  }
  BlockPolicy policy;
  policy.allow_stored_entry = options.allow_stored_entry;
  policy.allow_stored_blocks = options.allow_stored_blocks;
  policy.allow_fixed_blocks = options.allow_fixed_blocks;
  blocks.startChunk(policy, &out, chunk.first);
  int rc = parser->parse(in, config, blocks, options.stop);
  if (rc == 0 && !in.last) rc = blocks.endChunk();
  result.out_nbytes += blocks.outputNbytes();
  result.stored_entry = blocks.storedEntry();
  return rc;
}

DeflateCompressor::DeflateCompressor() = default;
DeflateCompressor::~DeflateCompressor() = default;

void DeflateCompressor::release() { m_impl.reset(); }

int DeflateCompressor::compress(ByteSource& in, ByteSink& out, const DeflateOptions& options,
                                DeflateResult* result_ret) {
  DeflateResult result;
  int rc = 0;
  if (!m_impl) m_impl.reset(new (std::nothrow) Impl);
  if (m_impl && m_impl->buffer == nullptr)
    m_impl->buffer = static_cast<uint8_t*>(std::malloc(DeflateChunkReader::kBufferNbytes));
  if (!m_impl || m_impl->buffer == nullptr) {
    result.detail = "window allocation";
    if (result_ret) *result_ret = result;
    return OZ_OUT_OF_MEMORY;
  }
  DeflateChunkReader reader(options.deflate64);
  DeflateChunk chunk;
  for (const DeflateChunk* prev = nullptr;; prev = &chunk) {
    if ((rc = reader.next(in, m_impl->buffer, prev, &chunk)) != 0) break;
    if ((rc = m_impl->chunk(chunk, out, options, result)) != 0 || chunk.last) break;
  }
  result.in_nbytes = reader.nbytes();
  if (result_ret) *result_ret = result;
  return rc;
}

int DeflateCompressor::compressChunk(const DeflateChunk& chunk, ByteSink& out, const DeflateOptions& options,
                                     DeflateResult* result_ret) {
  DeflateResult result;
  result.in_nbytes = chunk.nbytes;
  int rc;
  const size_t window = deflateHistoryNbytes(options.deflate64);
  if (chunk.nbytes > kChunkNbytes || chunk.history_nbytes > window) {
    rc = OZ_BAD_PARAMETERS;
  } else {
    if (!m_impl) m_impl.reset(new (std::nothrow) Impl);
    if (!m_impl) {
      result.detail = "window allocation";
      rc = OZ_OUT_OF_MEMORY;
    } else {
      rc = m_impl->chunk(chunk, out, options, result);
    }
  }
  if (result_ret) *result_ret = result;
  return rc;
}

}  // namespace ostrana
