/* engine/zip/deflate.h - the deflate (method 8) and Deflate64 (method 9) compressors.
 *
 * A codec that knows nothing of ZIP records: it pulls the entry's data from a
 * ByteSource (normally an EntryReader, deflate_input.h, which computes the
 * CRC-32 and size, reports progress and polls for cancel) and pushes the
 * compressed stream into a ByteSink (the archive writer's output, which may
 * encrypt or cross volumes).  One DeflateCompressor is kept per thread and
 * reused for every entry: its buffers and tables are allocated on first use
 * (per format).
 *
 * Chunks.  The entry is compressed in chunks of kDeflateChunkNbytes, each from
 * its own bytes and the window of data before it (its history), and every
 * chunk but the last ends on a byte boundary with an empty stored block.  So
 * the chunks of one entry can be compressed on several threads at once
 * (compressChunk()) and their outputs joined in order: the stream is the same
 * byte for byte as compress() makes on one thread.
 *
 * Levels follow the level table of deflate_format.h: 1-3 take every match at
 * once, 4-8 evaluate lazily, 9 searches a minimum-cost path.  Both formats
 * share every line of code: deflate reaches back at most 32,767 bytes with
 * matches of 3..258 bytes; Deflate64 has a 64 KiB window (distances up to
 * 65,535, distance codes 30 and 31) and matches up to 65,522 bytes (length
 * code 285 with 16 extra bits).
 *
 * Storing the entry instead.  The archive writer stores an entry (method 0)
 * when deflating would not make it smaller - but only when it can go back and
 * rewrite the local header after the data (an ordinary file output) and the data
 * is not drawn from a callback.  It tells the compressor so with
 * DeflateOptions::allow_stored_entry.  When the entry is a single chunk and its
 * raw bytes are not larger than the best coded form, the compressor writes the
 * raw bytes to the sink instead of a deflate stream and reports stored_entry;
 * the writer records method 0 and compressed size = size.
 *
 * Not thread-safe: one compressor per thread, one entry or chunk at a time.
 */
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/common/byte_stream.h"

namespace ostrana {

// ---- methods, levels and flag bits ------------------------------------------------

inline constexpr int kMethodStored = 0;     ///< ZIP method 0
inline constexpr int kMethodDeflate = 8;    ///< ZIP method 8, 32 KiB window
inline constexpr int kMethodDeflate64 = 9;  ///< ZIP method 9, 64 KiB window

/// Method and level that a zip command's `compFactor` asks for.
struct CompressionChoice {
  int method;  ///< kMethodStored, kMethodDeflate or kMethodDeflate64
  int level;   ///< 1..9 for the deflate methods, 0 for stored
};

/// `compFactor` is clamped into 0..19: 0 stores; 1..9 deflate at that level;
/// 10..19 Deflate64 at level factor-10, at least 1 (factor 10 compresses as level 1).
CompressionChoice compressionForFactor(int comp_factor);

/// General-purpose flag bits 1-2 of a deflated entry (the rest of the flags is 0):
/// deflate sets bit 2 (0x0004, "fast") at level 1 and bit 1 (0x0002, "maximum")
/// at level 9; Deflate64 sets bit 2 at levels 1-2 and bit 1 at levels 8-9.
/// Other methods get 0.  The level is clamped into 1..9 first.
uint16_t deflateFlagBits(int method, int level);

// ---- the compressor ---------------------------------------------------------------------

/// How one entry is compressed.  The three permissions map the archive writer's
/// situation onto the block choice:
///   allow_stored_entry  = the output can be repositioned && the data is not
///                         drawn from a callback;
///   allow_stored_blocks = the same condition;
///   allow_fixed_blocks  = the output can be repositioned || memory-to-memory.
/// (An ordinary file output allows all three; multi-volume output and callback
/// data allow none, and every block then has its own trees.)  A codec user with
/// no such constraints (tests, the benchmark) leaves the defaults.
struct DeflateOptions {
  int level = 6;             ///< 1..9; values outside are clamped
  bool deflate64 = false;    ///< method 9 instead of method 8
  /// The output may be the raw input when that is smallest (see the file comment).
  bool allow_stored_entry = false;
  /// Stored blocks inside the stream, for stretches that do not compress.
  bool allow_stored_blocks = true;
  /// Blocks coded with the fixed trees, when they are smaller than own trees.
  bool allow_fixed_blocks = true;
  /// Polled between blocks (may be null): once set, the compressor stops with
  /// OZ_INTERRUPTED.  For chunks compressed on other threads.
  const std::atomic<bool>* stop = nullptr;
};

/// Input bytes per chunk: an entry larger than this is compressed in pieces.
inline constexpr size_t kDeflateChunkNbytes = size_t{1} << 20;
/// Zero bytes a caller of compressChunk() leaves behind the chunk's data.
inline constexpr size_t kDeflateChunkPadding = 32;
/// History a chunk is primed with: the window of its format.
constexpr size_t deflateHistoryNbytes(bool deflate64) { return deflate64 ? 65536 : 32768; }

/// One chunk of an entry, in memory: data[-history_nbytes, 0) is the data
/// before it (at most deflateHistoryNbytes(); the whole entry so far when
/// less), data[0, nbytes) the chunk (at most kDeflateChunkNbytes), and
/// kDeflateChunkPadding zero bytes follow.
struct DeflateChunk {
  const uint8_t* data = nullptr;
  size_t history_nbytes = 0;
  size_t nbytes = 0;
  bool first = true;  ///< the entry's first chunk
  bool last = true;   ///< the entry's last chunk (its stream ends here)
};

struct DeflateResult {
  uint64_t in_nbytes = 0;     ///< bytes read from the source
  uint64_t out_nbytes = 0;    ///< bytes given to the sink
  bool stored_entry = false;  ///< the sink got the raw input: record method 0
  const char* detail = "";    ///< detail text of a failure ("window allocation", ...)
};

/// Reads an entry chunk by chunk for compressChunk(): the reading half of
/// compress(), for callers that compress the chunks elsewhere.  Each chunk is
/// read into a buffer of kBufferNbytes behind the window of the chunk before
/// it (copied from that chunk's buffer, which is only read).  One byte past a
/// full chunk is read ahead, so a chunk knows whether it is the last.
class DeflateChunkReader {
 public:
  static constexpr size_t kBufferNbytes = 65536 + kDeflateChunkNbytes + 1 + kDeflateChunkPadding;

  explicit DeflateChunkReader(bool deflate64) : m_window(deflateHistoryNbytes(deflate64)) {}

  /// Reads the next chunk into @p buf (kBufferNbytes; may be @p prev's own
  /// buffer).  @p prev is the chunk read before (null for the first).
  /// @return 0 with *@p chunk_ret filled, or the source's code (11 when it names none).
  int next(ByteSource& in, uint8_t* buf, const DeflateChunk* prev, DeflateChunk* chunk_ret);

  /// Bytes read from the source so far.
  uint64_t nbytes() const { return m_nbytes; }

 private:
  size_t m_window;
  bool m_haveCarry = false;
  uint8_t m_carry = 0;
  uint64_t m_nbytes = 0;
};

class DeflateCompressor {
 public:
  DeflateCompressor();
  ~DeflateCompressor();
  DeflateCompressor(const DeflateCompressor&) = delete;
  DeflateCompressor& operator=(const DeflateCompressor&) = delete;

  /// Compresses everything @p in delivers into @p out.
  /// @return 0 on success, else an engine result code:
  ///   4  out of memory; result.detail is "window allocation", "hash table
  ///      allocation" or "ct_init: out of memory";
  ///   the source's error() when a read fails (the EntryReader reports 11 for a
  ///      read failure and 9 for a cancel; 11 when the source gives none);
  ///   the sink's code when a write fails.
  /// @p result_ret (may be null) receives the sizes and whether the entry was stored.
  int compress(ByteSource& in, ByteSink& out, const DeflateOptions& options,
               DeflateResult* result_ret);

  /// Compresses one chunk into @p out (see DeflateChunk); the outputs of an
  /// entry's chunks, in order, are the stream compress() gives.  A stored
  /// entry can only result from a chunk that is both first and last.
  /// @return as compress(), without source failures; result_ret->in_nbytes
  /// is the chunk's size.
  int compressChunk(const DeflateChunk& chunk, ByteSink& out, const DeflateOptions& options,
                    DeflateResult* result_ret);

  /// Frees the work memory (it is allocated again on the next compress()).
  void release();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace ostrana
