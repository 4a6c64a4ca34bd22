/* bench/peer_archiver.cpp - the per-file work of `ostrana add`, done by zlib or libdeflate.
 *
 * Usage: peer_archiver zlib|libdeflate LEVEL CORPUS_DIR OUTPUT
 *
 * The yardstick for the engine's archive writer: for every regular file under
 * CORPUS_DIR (path order) it reads the file, computes its CRC-32 with the
 * library's own function, compresses it as one raw deflate stream at LEVEL
 * (zlib: windowBits -15, memLevel 8, default strategy; libdeflate: one
 * compressor per run) and appends a 30-byte header, the name and the stream
 * to OUTPUT, on one thread.  It writes no directory and flushes nothing to
 * the disk, so it does slightly less than a real archiver.  Prints the
 * files, the input and output bytes and the compressed data bytes alone;
 * bench/run_speed.sh times it.
 */
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s zlib|libdeflate LEVEL CORPUS_DIR OUTPUT\n", argv[0]);
    return 2;
  }
  const bool use_zlib = std::strcmp(argv[1], "zlib") == 0;
  const int level = std::atoi(argv[2]);
  std::vector<fs::path> files;
  for (auto& e : fs::recursive_directory_iterator(argv[3]))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) return 1;
  libdeflate_compressor* ld = use_zlib ? nullptr : libdeflate_alloc_compressor(level);
  std::vector<uint8_t> data, packed;
  uint64_t in_total = 0, out_total = 0, data_total = 0;
  for (const fs::path& p : files) {
    FILE* f = std::fopen(p.c_str(), "rb");
    if (f == nullptr) continue;
    data.resize(static_cast<size_t>(fs::file_size(p)));
    size_t got = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    data.resize(got);
    uint32_t crc;
    size_t n;
    if (use_zlib) {
      crc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
      z_stream z{};
      if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 1;
      packed.resize(deflateBound(&z, data.size()));
      z.next_in = data.data();
      z.avail_in = static_cast<uInt>(data.size());
      z.next_out = packed.data();
      z.avail_out = static_cast<uInt>(packed.size());
      if (deflate(&z, Z_FINISH) != Z_STREAM_END) return 1;
      n = z.total_out;
      deflateEnd(&z);
    } else {
      crc = libdeflate_crc32(0, data.data(), data.size());
      packed.resize(libdeflate_deflate_compress_bound(ld, data.size()));
      n = libdeflate_deflate_compress(ld, data.data(), data.size(), packed.data(), packed.size());
    }
    uint8_t header[30] = {'P', 'K', 3, 4};
    std::memcpy(header + 14, &crc, 4);
    const std::string name = fs::relative(p, argv[3]).string();
    std::fwrite(header, 1, sizeof header, out);
    std::fwrite(name.data(), 1, name.size(), out);
    std::fwrite(packed.data(), 1, n, out);
    in_total += data.size();
    out_total += sizeof header + name.size() + n;
    data_total += n;
  }
  if (ld) libdeflate_free_compressor(ld);
  std::fclose(out);
  std::printf("files %zu in %llu out %llu data %llu\n", files.size(), static_cast<unsigned long long>(in_total),
              static_cast<unsigned long long>(out_total), static_cast<unsigned long long>(data_total));
  return 0;
}
