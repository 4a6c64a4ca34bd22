/* bench/inflate_bench.cpp - decompression speed of the engine's inflate against zlib and libdeflate.
 *
 * For every file of a corpus folder: compress it once with zlib (raw deflate,
 * level 6), then time, single thread and interleaved, three decoders over the
 * same stream:
 *   zlib        inflate() into a buffer, then zlib's crc32() over it
 *   libdeflate  libdeflate_deflate_decompress(), then libdeflate_crc32()
 *   ostrana     the engine's Expander (method 8, extraction buffers), CRC-32
 *               computed in the sink by ostrana::crc32 as the output stage does
 * and the same three without the CRC ("decode only").  Each file is timed
 * --reps times per decoder and its fastest time counts.  Times are the
 * thread's CPU time (CLOCK_THREAD_CPUTIME_ID), so that other programs on a
 * shared machine do not count; a small file is expanded several times per
 * timing (at least 256 KiB of output) so that the clock's own cost vanishes.
 * Every output is checked (size and CRC-32 against zlib's).
 *
 * With --deflate64 ZIP, the Deflate64 members of that archive (made by
 * `7zz a -tzip -mm=Deflate64`) are expanded by the engine alone and checked
 * against their stored CRC-32: there is no reference library to compare with.
 *
 * MB is 10^6 bytes of uncompressed output.
 */
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/common/crc32.h"
#include "engine/unzip/expand.h"

namespace fs = std::filesystem;

namespace {

/// Seconds of CPU time this thread has used.
double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

/// Output bytes per timing at least: small files are expanded repeatedly.
constexpr size_t kMinBytesPerTiming = 256 * 1024;

struct Sample {
  std::string path;      // relative to the corpus
  std::string category;  // first two path components ("text/man"), or the file for big/
  std::vector<uint8_t> raw;
  std::vector<uint8_t> packed;
  uint32_t crc = 0;
};

enum Decoder { kZlib, kLibdeflate, kOurs, kNumDecoders };
const char* const kDecoderNames[kNumDecoders] = {"zlib", "libdeflate", "ostrana"};

struct Totals {
  uint64_t bytes = 0;
  uint64_t packed = 0;
  double seconds[2][kNumDecoders] = {};  // [with crc][decoder]
};

std::vector<uint8_t> read_file(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<uint8_t> zlib_raw_deflate(const std::vector<uint8_t>& in, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
  std::vector<uint8_t> out(deflateBound(&z, in.size()) + 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

/// The output stage as the extraction has it, minus the file: CRC-32 per buffer.
class CrcSink final : public ostrana::ByteSink {
 public:
  explicit CrcSink(bool with_crc) : m_with_crc(with_crc) {}
  int write(const uint8_t* data, size_t nbytes) override {
    if (m_with_crc) m_crc = ostrana::crc32(m_crc, data, nbytes);
    m_total += nbytes;
    return 0;
  }
  uint32_t m_crc = 0;
  uint64_t m_total = 0;
  bool m_with_crc;
};

struct Decoders {
  z_stream z{};
  libdeflate_decompressor* ld = nullptr;
  ostrana::Expander ours;
  std::vector<uint8_t> out;

  Decoders() {
    if (inflateInit2(&z, -15) != Z_OK) std::abort();
    ld = libdeflate_alloc_decompressor();
  }
  ~Decoders() {
    inflateEnd(&z);
    libdeflate_free_decompressor(ld);
  }

  /// Runs one decoder @p iterations times; returns seconds per run and checks the result.
  double run(Decoder d, bool with_crc, const Sample& s, int iterations) {
    if (out.size() < s.raw.size() + 1) out.resize(s.raw.size() + 1);
    uint32_t crc = 0;
    uint64_t produced = 0;
    const double t0 = cpu_seconds();
    for (int i = 0; i < iterations; ++i) {
      switch (d) {
        case kZlib: {
          inflateReset(&z);
          z.next_in = const_cast<Bytef*>(s.packed.data());
          z.avail_in = static_cast<uInt>(s.packed.size());
          z.next_out = out.data();
          z.avail_out = static_cast<uInt>(out.size());
          if (inflate(&z, Z_FINISH) != Z_STREAM_END) fail("zlib", s);
          produced = z.total_out;
          if (with_crc) crc = static_cast<uint32_t>(::crc32(0, out.data(), static_cast<uInt>(produced)));
          break;
        }
        case kLibdeflate: {
          size_t n = 0;
          if (libdeflate_deflate_decompress(ld, s.packed.data(), s.packed.size(), out.data(), out.size(), &n) !=
              LIBDEFLATE_SUCCESS)
            fail("libdeflate", s);
          produced = n;
          if (with_crc) crc = libdeflate_crc32(0, out.data(), n);
          break;
        }
        case kOurs: {
          ostrana::MemorySource src(s.packed.data(), s.packed.size());
          CrcSink sink(with_crc);
          ostrana::ExpandRequest r;
          r.method = ostrana::zip::kMethodDeflate;
          r.compressed_nbytes = s.packed.size();
          r.uncompressed_nbytes = s.raw.size();
          r.source = &src;
          r.sink = &sink;
          if (ours.expand(r) != ostrana::kExpandOk) fail("ostrana", s);
          produced = sink.m_total;
          crc = sink.m_crc;
          break;
        }
        default:
          break;
      }
    }
    const double secs = (cpu_seconds() - t0) / iterations;
    if (produced != s.raw.size() || (with_crc && crc != s.crc)) fail(kDecoderNames[d], s);
    return secs;
  }

  [[noreturn]] static void fail(const char* who, const Sample& s) {
    std::fprintf(stderr, "%s: wrong result for %s\n", who, s.path.c_str());
    std::exit(1);
  }
};

std::string category_of(const std::string& rel) {
  auto a = rel.find('/');
  if (a == std::string::npos) return rel;
  if (rel.compare(0, a, "big") == 0) return rel;
  auto b = rel.find('/', a + 1);
  return b == std::string::npos ? rel.substr(0, a) : rel.substr(0, b);
}

void print_table(const std::map<std::string, Totals>& cats, const Totals& all) {
  std::printf("\nraw deflate by zlib level 6; single thread; MB/s of output (10^6 bytes) per CPU second;"
              " best of reps per file\n\n");
  std::printf("%-24s %8s %6s | %8s %8s %8s | %6s %6s | %8s %8s %8s | %6s %6s\n", "", "", "", "with", "CRC-32", "",
              "", "", "decode", "only", "", "", "");
  std::printf("%-24s %8s %6s | %8s %8s %8s | %6s %6s | %8s %8s %8s | %6s %6s\n", "category", "MB", "ratio",
              "zlib", "libdefl", "ostrana", "/zlib", "/ldefl", "zlib", "libdefl", "ostrana", "/zlib", "/ldefl");
  auto row = [](const std::string& name, const Totals& t) {
    double mb = t.bytes / 1e6;
    double v[2][kNumDecoders];
    for (int c = 0; c < 2; ++c)
      for (int d = 0; d < kNumDecoders; ++d) v[c][d] = t.seconds[c][d] > 0 ? mb / t.seconds[c][d] : 0;
    std::printf("%-24s %8.2f %6.3f | %8.1f %8.1f %8.1f | %6.2f %6.2f | %8.1f %8.1f %8.1f | %6.2f %6.2f\n",
                name.c_str(), mb, t.bytes ? double(t.packed) / t.bytes : 0.0, v[1][kZlib], v[1][kLibdeflate],
                v[1][kOurs], v[1][kOurs] / v[1][kZlib], v[1][kOurs] / v[1][kLibdeflate], v[0][kZlib],
                v[0][kLibdeflate], v[0][kOurs], v[0][kOurs] / v[0][kZlib], v[0][kOurs] / v[0][kLibdeflate]);
  };
  for (const auto& [name, t] : cats) row(name, t);
  std::printf("%s\n", std::string(24 + 1 + 8 + 1 + 6 + 3 * 8 + 2 * 7 + 3 * 8 + 2 * 7 + 16, '-').c_str());
  row("all", all);
}

// ---- Deflate64 members of a ZIP archive ----------------------------------------

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

int bench_deflate64(const char* zip_path, int reps) {
  const std::vector<uint8_t> zip = read_file(zip_path);
  // Walk the central directory from the end record (no Zip64, no comment
  // search beyond 64 KiB: the archive is made by the bench script).
  size_t eocd = std::string::npos;
  for (size_t i = zip.size() >= 22 ? zip.size() - 22 : 0; zip.size() >= 22 && zip.size() - i < 70000; --i) {
    if (le32(&zip[i]) == 0x06054B50) {
      eocd = i;
      break;
    }
    if (i == 0) break;
  }
  if (eocd == std::string::npos) {
    std::fprintf(stderr, "%s: no end of central directory\n", zip_path);
    return 1;
  }
  size_t p = le32(&zip[eocd + 16]);
  const unsigned count = le16(&zip[eocd + 10]);
  ostrana::Expander ours;
  uint64_t bytes = 0, packed = 0;
  double seconds = 0;
  unsigned members = 0;
  for (unsigned k = 0; k < count; ++k) {
    if (p + 46 > zip.size() || le32(&zip[p]) != 0x02014B50) return std::fprintf(stderr, "bad directory\n"), 1;
    const uint16_t method = le16(&zip[p + 10]);
    const uint32_t crc = le32(&zip[p + 16]);
    const uint32_t csize = le32(&zip[p + 20]);
    const uint32_t usize = le32(&zip[p + 24]);
    const size_t lho = le32(&zip[p + 42]);
    p += 46 + le16(&zip[p + 28]) + le16(&zip[p + 30]) + le16(&zip[p + 32]);
    if (method != ostrana::zip::kMethodDeflate64) continue;
    const size_t data = lho + 30 + le16(&zip[lho + 26]) + le16(&zip[lho + 28]);
    if (data + csize > zip.size()) return std::fprintf(stderr, "bad member\n"), 1;
    double best = 1e30;
    const int iterations = static_cast<int>(std::max<size_t>(1, kMinBytesPerTiming / (usize + 1)));
    for (int r = 0; r < reps; ++r) {
      int rc = 0;
      CrcSink sink(true);
      const double t0 = cpu_seconds();
      for (int i = 0; i < iterations; ++i) {
        ostrana::MemorySource src(&zip[data], csize);
        sink.m_crc = 0;
        sink.m_total = 0;
        ostrana::ExpandRequest req;
        req.method = method;
        req.compressed_nbytes = csize;
        req.uncompressed_nbytes = usize;
        req.source = &src;
        req.sink = &sink;
        rc = ours.expand(req);
      }
      best = std::min(best, (cpu_seconds() - t0) / iterations);
      if (rc != 0 || sink.m_crc != crc || sink.m_total != usize) {
        std::fprintf(stderr, "Deflate64 member %u: rc %d, wrong output\n", k, rc);
        return 1;
      }
    }
    seconds += best;
    bytes += usize;
    packed += csize;
    ++members;
  }
  std::printf("\nDeflate64 (7zz -mm=Deflate64 members, ostrana only, with CRC-32): %u members, %.2f MB, ratio %.3f, "
              "%.1f MB/s\n",
              members, bytes / 1e6, bytes ? double(packed) / bytes : 0.0, seconds > 0 ? bytes / 1e6 / seconds : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int reps = 3;
  const char* corpus = nullptr;
  const char* d64 = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--reps") && i + 1 < argc) {
      reps = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--deflate64") && i + 1 < argc) {
      d64 = argv[++i];
    } else {
      corpus = argv[i];
    }
  }
  if (corpus == nullptr && d64 == nullptr) {
    std::fprintf(stderr, "usage: inflate_bench [--reps N] [--deflate64 ZIP] [CORPUS_DIR]\n");
    return 2;
  }

  if (corpus != nullptr) {
    std::vector<Sample> samples;
    std::vector<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
      if (e.is_regular_file()) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
      Sample s;
      s.path = fs::relative(path, corpus).string();
      s.category = category_of(s.path);
      s.raw = read_file(path);
      s.packed = zlib_raw_deflate(s.raw, 6);
      s.crc = static_cast<uint32_t>(::crc32(0, s.raw.data(), static_cast<uInt>(s.raw.size())));
      samples.push_back(std::move(s));
    }
    std::fprintf(stderr, "%zu files compressed; timing %d reps...\n", samples.size(), reps);

    Decoders dec;
    std::map<std::string, Totals> cats;
    Totals all;
    for (const Sample& s : samples) {
      double best[2][kNumDecoders];
      for (auto& row : best)
        for (double& b : row) b = 1e30;
      const int iterations = static_cast<int>(std::max<size_t>(1, kMinBytesPerTiming / (s.raw.size() + 1)));
      for (int r = 0; r < reps; ++r)
        for (int c = 0; c < 2; ++c)
          for (int d = 0; d < kNumDecoders; ++d)
            best[c][d] = std::min(best[c][d], dec.run(static_cast<Decoder>(d), c == 1, s, iterations));
      for (Totals* t : {&cats[s.category], &all}) {
        t->bytes += s.raw.size();
        t->packed += s.packed.size();
        for (int c = 0; c < 2; ++c)
          for (int d = 0; d < kNumDecoders; ++d) t->seconds[c][d] += best[c][d];
      }
    }
    print_table(cats, all);
  }
  if (d64 != nullptr) return bench_deflate64(d64, reps);
  return 0;
}
