/* tests/fuzz/deflate_roundtrip/fuzz.cpp - compress, decode, compare; compress again, compare bytes.
 *
 * The first input byte picks the level (low nibble: 1..9 as they stand, 0 as
 * 1, 10..15 as 2..7, so the slow level 9 is one input in sixteen), the
 * format (bit 4: Deflate64), whether the entry may be stored whole (bit 5),
 * whether stored and fixed blocks are allowed (bits 6, 7); the second byte picks
 * how many bytes the source hands out per read.  The rest is the entry.  The
 * stream is decoded twice, by the strict reference decoder of the tests and by
 * the engine's own expander (as file-to-memory would run it), and each must
 * give the entry back; a second compression of the same entry with the same,
 * reused context must give the same bytes.  abort() on any mismatch.
 *
 * The chunked path: the same entry is also cut into chunks (compressChunk(),
 * each primed with the window before it, every chunk but the last ending on a
 * byte boundary) at cut points that go through every class of offset - empty
 * chunks, the first and last bytes, just inside and outside a window, and
 * points taken from the entry's bytes, so cuts land inside matches and runs
 * alike.  The joined outputs must decode to the entry with both decoders, and
 * a second pass with another context must give the same bytes.
 *
 * The work per input is bounded: the entry is cut to a window and an eighth
 * (36 KiB for deflate, 72 KiB for Deflate64), enough for every cut class
 * around the window's end.  Level 9's optimal parse costs many times the
 * others per byte (four passes here), so at that level the entry is cut to
 * deflate's 36 KiB in both formats; Deflate64's far window is crossed by the
 * other levels.  No execution then eats the run.
 */
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../../support/reference_inflate.h"
#include "engine/unzip/expand.h"
#include "engine/zip/deflate.h"

namespace {

class SteppedSource final : public ostrana::ByteSource {
 public:
  SteppedSource(const uint8_t* data, size_t nbytes, size_t step) : m_data(data), m_left(nbytes), m_step(step) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t n = avail < m_left ? avail : m_left;
    if (n > m_step) n = m_step;
    if (n != 0) std::memcpy(buf, m_data, n);
    m_data += n;
    m_left -= n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  const uint8_t* m_data;
  size_t m_left;
  size_t m_step;
};

/// The engine's expander over @p z; aborts unless it gives exactly @p entry.
void expand_with_engine(const std::vector<uint8_t>& z, bool deflate64, const uint8_t* entry, size_t n) {
  static ostrana::Expander expander;  // reused, as one thread's state is
  SteppedSource src(z.data(), z.size(), SIZE_MAX);
  ostrana::VectorSink sink;
  ostrana::ExpandRequest r;
  r.method = deflate64 ? ostrana::zip::kMethodDeflate64 : ostrana::zip::kMethodDeflate;
  r.compressed_nbytes = z.size();
  r.uncompressed_nbytes = n;
  r.mode = ostrana::ExpandMode::kToMemory;
  r.source = &src;
  r.sink = &sink;
  if (expander.expand(r) != ostrana::kExpandOk) abort();
  if (sink.bytes().size() != n || (n && std::memcmp(sink.bytes().data(), entry, n) != 0)) abort();
}

ostrana::DeflateCompressor& compressor() {
  static ostrana::DeflateCompressor c;
  return c;
}

std::vector<uint8_t> run(const ostrana::DeflateOptions& o, const uint8_t* data, size_t n, size_t step,
                         ostrana::DeflateResult& res) {
  SteppedSource src(data, n, step);
  ostrana::VectorSink sink;
  if (compressor().compress(src, sink, o, &res) != 0) abort();
  if (res.in_nbytes != n || res.out_nbytes != sink.bytes().size()) abort();
  return sink.bytes();
}

/// Cut points for the chunked pass: three picked by the entry's length and
/// bytes from the offset classes, so at most four chunks (each chunk is
/// primed with up to a window of history, which costs time per chunk).
std::vector<size_t> cutPoints(const uint8_t* data, size_t n) {
  std::vector<size_t> cuts;
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n && i < 64; ++i) h = (h ^ data[i]) * 16777619u;
  const size_t window = 32768;
  const size_t fixed[] = {0, 1, 2, 3, n / 2, n - 1, window - 1, window, window + 1, n};
  for (int k = 0; k < 2; ++k) {
    size_t pick = fixed[(h >> (4 * k)) % (sizeof fixed / sizeof fixed[0])];
    cuts.push_back(pick <= n ? pick : n);
  }
  h = h * 1103515245u + 12345u;
  cuts.push_back((h >> 8) % (n + 1));
  std::sort(cuts.begin(), cuts.end());
  return cuts;  // duplicates make empty chunks, on purpose
}

/// The entry through compressChunk() at @p cuts; the joined stream.
std::vector<uint8_t> runChunked(ostrana::DeflateCompressor& c, const ostrana::DeflateOptions& o,
                                const uint8_t* data, size_t n, const std::vector<size_t>& cuts,
                                bool& stored_entry) {
  const size_t window = ostrana::deflateHistoryNbytes(o.deflate64);
  ostrana::VectorSink sink;
  std::vector<uint8_t> buf;
  size_t from = 0;
  stored_entry = false;
  for (size_t k = 0; k <= cuts.size(); ++k) {
    size_t to = k < cuts.size() ? cuts[k] : n;
    size_t history = from < window ? from : window;
    buf.assign(data + from - history, data + to);
    buf.resize(buf.size() + ostrana::kDeflateChunkPadding, 0);
    ostrana::DeflateChunk chunk;
    chunk.data = buf.data() + history;
    chunk.history_nbytes = history;
    chunk.nbytes = to - from;
    chunk.first = k == 0;
    chunk.last = k == cuts.size();
    ostrana::DeflateResult res;
    if (c.compressChunk(chunk, sink, o, &res) != 0) abort();
    if (res.in_nbytes != chunk.nbytes) abort();
    if (res.stored_entry && !(chunk.first && chunk.last)) abort();
    stored_entry = res.stored_entry;
    from = to;
  }
  return sink.bytes();
}

void checkChunked(const ostrana::DeflateOptions& o, const uint8_t* entry, size_t n) {
  std::vector<size_t> cuts = cutPoints(entry, n);
  bool stored = false;
  std::vector<uint8_t> z = runChunked(compressor(), o, entry, n, cuts, stored);
  if (stored) abort();  // more than one chunk is never stored whole
  refinflate::Result r = refinflate::inflate(z.data(), z.size(), o.deflate64, n + 1);
  if (!r.ok || r.consumed != z.size() || r.data.size() != n) abort();
  if (n && std::memcmp(r.data.data(), entry, n) != 0) abort();
  if (!o.allow_fixed_blocks && r.blocks_fixed) abort();
  expand_with_engine(z, o.deflate64, entry, n);
  // Another context, with other entries behind it, gives the same bytes.
  static ostrana::DeflateCompressor other;
  if (runChunked(other, o, entry, n, cuts, stored) != z) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  ostrana::DeflateOptions o;
  const int nibble = data[0] & 0x0F;
  o.level = nibble == 0 ? 1 : nibble <= 9 ? nibble : nibble - 8;
  o.deflate64 = (data[0] & 0x10) != 0;
  o.allow_stored_entry = (data[0] & 0x20) != 0;
  o.allow_stored_blocks = (data[0] & 0x40) == 0;
  o.allow_fixed_blocks = (data[0] & 0x80) == 0;
  size_t step = data[1] == 0 ? SIZE_MAX : static_cast<size_t>(data[1]) * 97;
  const uint8_t* entry = data + 2;
  const size_t window = ostrana::deflateHistoryNbytes(o.deflate64);
  const size_t cap = o.level == 9 ? 32768 + 32768 / 8 : window + window / 8;
  size_t n = std::min(size - 2, cap);

  ostrana::DeflateResult res;
  std::vector<uint8_t> z = run(o, entry, n, step, res);
  if (res.stored_entry) {
    if (!o.allow_stored_entry || z.size() != n || (n && std::memcmp(z.data(), entry, n) != 0)) abort();
  } else {
    refinflate::Result r = refinflate::inflate(z.data(), z.size(), o.deflate64, n + 1);
    if (!r.ok || r.consumed != z.size() || r.data.size() != n) abort();
    if (n && std::memcmp(r.data.data(), entry, n) != 0) abort();
    if (!o.deflate64 && r.farthest_distance > 32768) abort();
    if (!o.allow_fixed_blocks && r.blocks_fixed) abort();
    if (!o.allow_stored_blocks && r.blocks_stored) abort();
    expand_with_engine(z, o.deflate64, entry, n);
  }
  ostrana::DeflateResult again;
  std::vector<uint8_t> z2 = run(o, entry, n, SIZE_MAX, again);
  if (z2 != z || again.stored_entry != res.stored_entry) abort();
  checkChunked(o, entry, n);
  return 0;
}
