/* bench/crypto_bench.cpp - throughput of CRC-32 and the ciphers against zlib and libdeflate.
 *
 * Every figure is measured in this run on the same buffer: the engine's
 * CRC-32 (automatic path, and the portable tables forced) against zlib's
 * crc32 and libdeflate's, and the engine's AES-CTR (ZIP counter), AES-CBC
 * encryption and decryption for 128- and 256-bit keys with and without the
 * AES instructions, plus SHA-1, the ZIP AES read (CTR + HMAC-SHA1) and the
 * traditional cipher.  Each case runs for about a third of a second after a
 * warm-up pass; the best of three is printed as GB/s (10^9 bytes).
 *
 * Usage: crypto_bench [kilobytes]   (buffer size, default 1024: it stays in
 * the processor's caches, as the engine's 64 KB chunks do, so the figures
 * are those of the code and not of the memory bus)
 */
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "engine/common/aes.h"
#include "engine/common/aes_ctr.h"
#include "engine/common/cpu_features.h"
#include "engine/common/crc32.h"
#include "engine/common/hmac_sha1.h"
#include "engine/common/sha1.h"
#include "engine/common/traditional_cipher.h"

using namespace ostrana;

namespace {

volatile uint32_t g_sink;

/// Best GB/s of three timed rounds, each repeating @p pass until 0.3 s have gone by.
double measure(size_t nbytes, const std::function<void()>& pass) {
  using clock = std::chrono::steady_clock;
  pass();
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    size_t done = 0;
    const auto start = clock::now();
    double seconds = 0;
    do {
      pass();
      done += nbytes;
      seconds = std::chrono::duration<double>(clock::now() - start).count();
    } while (seconds < 0.3);
    best = std::max(best, done / seconds / 1e9);
  }
  return best;
}

void row(const char* name, double gbps, double reference, const char* reference_name) {
  if (reference > 0) std::printf("  %-34s %7.2f GB/s   %5.2fx %s\n", name, gbps, gbps / reference, reference_name);
  else std::printf("  %-34s %7.2f GB/s\n", name, gbps);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t kb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  const size_t n = (kb == 0 ? 1024 : kb) << 10;
  std::vector<uint8_t> buf(n), out(n);
  std::mt19937 rng(1);
  for (auto& b : buf) b = static_cast<uint8_t>(rng());
  uint8_t key[32], iv[16];
  for (auto& b : key) b = static_cast<uint8_t>(rng());
  for (auto& b : iv) b = static_cast<uint8_t>(rng());

  std::printf("crypto_bench: %zu KB buffer; processor: clmul %s, aes %s, sha %s\n", n >> 10,
              cpu_has_clmul() ? "yes" : "no", cpu_has_aes() ? "yes" : "no", cpu_has_sha() ? "yes" : "no");

  std::printf("\nCRC-32 (ratio against zlib crc32)\n");
  const double zlib_crc = measure(n, [&] { g_sink = static_cast<uint32_t>(::crc32(0, buf.data(), static_cast<uInt>(n))); });
  const double deflate_crc = measure(n, [&] { g_sink = libdeflate_crc32(0, buf.data(), n); });
  const double ours_crc = measure(n, [&] { g_sink = ostrana::crc32(0, buf.data(), n); });
  cpu_force_portable(true);
  const double ours_crc_portable = measure(n, [&] { g_sink = ostrana::crc32(0, buf.data(), n); });
  cpu_force_portable(false);
  row("zlib crc32", zlib_crc, zlib_crc, "zlib");
  row("libdeflate crc32", deflate_crc, zlib_crc, "zlib");
  row("ostrana crc32", ours_crc, zlib_crc, "zlib");
  row("ostrana crc32 (portable tables)", ours_crc_portable, zlib_crc, "zlib");

  for (bool portable : {false, true}) {
    cpu_force_portable(portable);
    std::printf("\nAES, %s\n", portable ? "portable tables (AES instructions not used)" : "automatic path");
    for (size_t key_nbytes : {16u, 32u}) {
      char name[64];
      const int bits = static_cast<int>(key_nbytes * 8);
      ZipAesCtr ctr;
      ctr.setup(key, key_nbytes);
      std::snprintf(name, sizeof(name), "AES-%d-CTR (ZIP counter)", bits);
      row(name, measure(n, [&] { ctr.transform(buf.data(), out.data(), n); }), 0, "");
      AesCipher cbc;
      cbc.setup(key, key_nbytes, iv);
      std::snprintf(name, sizeof(name), "AES-%d-CBC encrypt", bits);
      row(name, measure(n, [&] { cbc.encrypt(AesCipher::Mode::kCbc, buf.data(), out.data(), n); }), 0, "");
      std::snprintf(name, sizeof(name), "AES-%d-CBC decrypt", bits);
      row(name, measure(n, [&] { cbc.decrypt(AesCipher::Mode::kCbc, buf.data(), out.data(), n); }), 0, "");
    }
  }
  cpu_force_portable(false);

  std::printf("\nHashes and whole decrypting reads, automatic path\n");
  const double sha = measure(n, [&] {
    uint8_t d[20];
    Sha1::digest(buf.data(), n, d);
    g_sink = d[0];
  });
  row("SHA-1", sha, 0, "");
  cpu_force_portable(true);
  const double sha_portable = measure(n, [&] {
    uint8_t d[20];
    Sha1::digest(buf.data(), n, d);
    g_sink = d[0];
  });
  cpu_force_portable(false);
  row("SHA-1 (portable)", sha_portable, 0, "");
  {
    ZipAesCtr ctr;
    ctr.setup(key, 32);
    HmacSha1 mac(key, 20);
    row("ZIP AES-256 read (HMAC + CTR)", measure(n, [&] {
          mac.restart();
          mac.update(buf.data(), n);
          ctr.transform(buf.data(), out.data(), n);
          uint8_t code[20];
          mac.finish(code);
          g_sink = code[0];
        }), 0, "");
  }
  {
    TraditionalCipher cipher;
    cipher.init(key, 8);
    const size_t part = n / 4;  // slow: a quarter of the buffer per pass
    row("traditional PKWARE cipher", measure(part, [&] { cipher.decrypt(out.data(), part); }), 0, "");
  }
  return 0;
}
