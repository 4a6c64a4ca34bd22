/* bench/deflate_bench.cpp - the engine's deflate compressor against zlib and libdeflate.
 *
 * Usage: deflate_bench [--engine-only] CORPUS_DIR [LEVEL...]   (levels 1-12; default 1 3 6 7 9)
 * (--engine-only skips the references: for profiling the engine alone.)
 *
 * Loads every regular file under CORPUS_DIR into memory, then for each level
 * compresses each file with the engine (raw deflate stream, reused context,
 * single thread), with zlib (raw deflate: windowBits -15, memLevel 8, default
 * strategy, one deflate() call) and with libdeflate (one compressor per level),
 * interleaving the three per file so that any drift of the machine's speed hits
 * all alike.  Times are the thread's CPU time, so that other programs on a
 * shared machine count as little as they can.  Prints per level the compressed/original ratio and throughput of
 * each, and the size and throughput ratios of the engine against each
 * reference; every stream of the engine is decoded with zlib's inflate and
 * compared with the original (not timed).  Finally compares Deflate64 level 9
 * with deflate level 9 on the largest file.
 *
 * Levels 10 to 12 are libdeflate's near-optimal parses, which its level 9 (a
 * lazy parse) is not; the engine's near-optimal parse is its level 9, so such
 * a level's row compares libdeflate at that level with the engine's level 9
 * (run once, the first time it is needed) and leaves zlib out.
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
#include <string>
#include <vector>

#include "engine/zip/deflate.h"

namespace {

/// This thread's CPU time: other programs on a shared machine do not count.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
  }
};

struct File {
  std::string path;
  std::vector<uint8_t> data;
};

/// A sink into a buffer that is large enough (grown outside the timed part).
class BufferSink final : public ostrana::ByteSink {
 public:
  explicit BufferSink(std::vector<uint8_t>& buf) : m_buf(buf) {}
  int write(const uint8_t* data, size_t nbytes) override {
    if (m_used + nbytes > m_buf.size()) m_buf.resize((m_used + nbytes) * 2);
    std::memcpy(m_buf.data() + m_used, data, nbytes);
    m_used += nbytes;
    return 0;
  }
  size_t used() const { return m_used; }

 private:
  std::vector<uint8_t>& m_buf;
  size_t m_used = 0;
};

double seconds(double a, double b) { return b - a; }

size_t oursCompress(ostrana::DeflateCompressor& c, const File& f, int level, bool d64,
                    std::vector<uint8_t>& out) {
  ostrana::MemorySource src(f.data.data(), f.data.size());
  BufferSink sink(out);
  ostrana::DeflateOptions opt;
  opt.level = level;
  opt.deflate64 = d64;
  int rc = c.compress(src, sink, opt, nullptr);
  if (rc != 0) {
    std::fprintf(stderr, "engine deflate failed (%d) on %s\n", rc, f.path.c_str());
    std::exit(1);
  }
  return sink.used();
}

size_t zlibCompress(const File& f, int level, std::vector<uint8_t>& out) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::exit(1);
  size_t bound = deflateBound(&z, f.data.size());
  if (out.size() < bound) out.resize(bound);
  z.next_in = const_cast<Bytef*>(f.data.data());
  z.avail_in = static_cast<uInt>(f.data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::exit(1);
  size_t n = z.total_out;
  deflateEnd(&z);
  return n;
}

void verify(const File& f, const std::vector<uint8_t>& comp, size_t nbytes, std::vector<uint8_t>& scratch) {
  scratch.resize(f.data.size() + 1);
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(comp.data());
  z.avail_in = static_cast<uInt>(nbytes);
  z.next_out = scratch.data();
  z.avail_out = static_cast<uInt>(scratch.size());
  int rc = inflate(&z, Z_FINISH);
  size_t got = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END || got != f.data.size() || std::memcmp(scratch.data(), f.data.data(), got) != 0) {
    std::fprintf(stderr, "ROUND TRIP FAILED on %s (inflate %d, %zu of %zu bytes)\n", f.path.c_str(), rc,
                 got, f.data.size());
    std::exit(1);
  }
}

std::vector<File> loadCorpus(const std::string& dir) {
  std::vector<File> files;
  for (auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    File f;
    f.path = e.path().string();
    std::ifstream in(f.path, std::ios::binary);
    f.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    files.push_back(std::move(f));
  }
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.path < b.path; });
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  bool engine_only = argc > 1 && std::strcmp(argv[1], "--engine-only") == 0;
  if (engine_only) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s [--engine-only] CORPUS_DIR [LEVEL...]\n", argv[0]);
    return 2;
  }
  std::vector<int> levels;
  for (int i = 2; i < argc; ++i) levels.push_back(std::atoi(argv[i]));
  if (levels.empty()) levels = {1, 3, 6, 7, 9};

  std::vector<File> files = loadCorpus(argv[1]);
  uint64_t total = 0;
  const File* largest = nullptr;
  for (auto& f : files) {
    total += f.data.size();
    if (!largest || f.data.size() > largest->data.size()) largest = &f;
  }
  std::printf("corpus %s: %zu files, %.1f MB\n\n", argv[1], files.size(), total / 1e6);
  std::printf("%-5s | %-27s | %-27s | %-27s | %-13s | %-13s\n", "", "engine", "zlib", "libdeflate",
              "engine/zlib", "engine/libdefl");
  std::printf("%-5s | %8s %8s %9s | %8s %8s %9s | %8s %8s %9s | %6s %6s | %6s %6s\n", "level", "ratio",
              "MB/s", "time s", "ratio", "MB/s", "time s", "ratio", "MB/s", "time s", "size", "speed",
              "size", "speed");

  std::vector<uint8_t> out, scratch;
  out.resize(1 << 20);
  ostrana::DeflateCompressor ours;
  // The engine's level 9 totals, kept for the rows of libdeflate's levels 10-12.
  uint64_t s_ours9 = 0;
  double t_ours9 = -1;
  for (int level : levels) {
    const bool near_optimal_peer = level > 9 && !engine_only;
    const bool run_ours = !near_optimal_peer || t_ours9 < 0;
    libdeflate_compressor* ld = libdeflate_alloc_compressor(level);
    if (!ld && !engine_only) {
      std::fprintf(stderr, "libdeflate has no level %d\n", level);
      return 2;
    }
    uint64_t s_ours = 0, s_zlib = 0, s_ld = 0;
    double t_ours = 0, t_zlib = 0, t_ld = 0;
    for (const File& f : files) {
      size_t need = f.data.size() + f.data.size() / 8 + 1024;
      if (out.size() < need) out.resize(need);

      double a, b;
      size_t n;
      if (run_ours) {
        a = Clock::now();
        n = oursCompress(ours, f, std::min(level, 9), false, out);
        b = Clock::now();
        t_ours += seconds(a, b);
        s_ours += n;
        verify(f, out, n, scratch);
      }
      if (engine_only) continue;

      if (!near_optimal_peer) {
        a = Clock::now();
        n = zlibCompress(f, level, out);
        b = Clock::now();
        t_zlib += seconds(a, b);
        s_zlib += n;
      }

      a = Clock::now();
      n = libdeflate_deflate_compress(ld, f.data.data(), f.data.size(), out.data(), out.size());
      b = Clock::now();
      t_ld += seconds(a, b);
      s_ld += n;
    }
    if (ld) libdeflate_free_compressor(ld);
    if (std::min(level, 9) == 9) {
      if (run_ours) {
        s_ours9 = s_ours;
        t_ours9 = t_ours;
      }
      s_ours = s_ours9;
      t_ours = t_ours9;
    }
    if (near_optimal_peer) {
      std::printf("%-5d | engine level 9: %llu bytes, %.3f s; libdeflate level %d: %llu bytes, %.3f s; "
                  "engine/libdefl size %.4f, time %.2f\n",
                  level, static_cast<unsigned long long>(s_ours), t_ours, level,
                  static_cast<unsigned long long>(s_ld), t_ld, double(s_ours) / s_ld, t_ours / t_ld);
      std::fflush(stdout);
      continue;
    }
    double mb = total / 1e6;
    std::printf("%-5d | %8.4f %8.1f %9.2f | %8.4f %8.1f %9.2f | %8.4f %8.1f %9.2f | %6.4f %6.2f | %6.4f %6.2f\n",
                level, double(s_ours) / total, mb / t_ours, t_ours, double(s_zlib) / total, mb / t_zlib, t_zlib,
                double(s_ld) / total, mb / t_ld, t_ld, double(s_ours) / s_zlib, t_zlib / t_ours,
                double(s_ours) / s_ld, t_ld / t_ours);
    std::printf("      engine %llu bytes, %.3f s", static_cast<unsigned long long>(s_ours), t_ours);
    if (!engine_only) std::printf("; libdeflate %llu bytes, %.3f s", static_cast<unsigned long long>(s_ld), t_ld);
    std::printf("\n");
    std::fflush(stdout);
  }

  if (largest && !engine_only) {
    auto a = Clock::now();
    size_t d9 = oursCompress(ours, *largest, 9, false, out);
    auto b = Clock::now();
    size_t d64 = oursCompress(ours, *largest, 9, true, out);
    auto c = Clock::now();
    double mb = largest->data.size() / 1e6;
    std::printf("\nlargest file %s (%.1f MB), level 9: deflate %zu bytes (%.1f MB/s), "
                "Deflate64 %zu bytes (%.1f MB/s); Deflate64/deflate size %.4f\n",
                largest->path.c_str(), mb, d9, mb / seconds(a, b), d64, mb / seconds(b, c), double(d64) / d9);
  }
  return 0;
}
