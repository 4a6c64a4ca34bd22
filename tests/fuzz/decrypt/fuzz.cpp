/* tests/fuzz/decrypt/fuzz.cpp - item data set-up and decrypting read on arbitrary input.
 *
 * Input: selector (1: flag bit 0, 2: flag bit 3, 4: flag bit 6, 8: an AES
 * block follows, 16: a strong-encryption block follows), CRC-32 (4), DOS time
 * (2), uncompressed size (8), compressed size (2), password length (1) and
 * password, then the blocks (a length byte and the bytes each), then the raw
 * data.  The target opens the item, reads it to the end in pieces of varying
 * size and verifies its end, and aborts when:
 *   - the source yields more than the compressed size, or reads the raw data
 *     past the compressed size;
 *   - a second run on the portable code paths (no AES, SHA or CLMUL
 *     instructions) gives another result or other bytes.
 * Memory errors are the sanitizers' to find.  Seeds in corpus/ are items of
 * each scheme taken from the sample archives (see make_corpus.py).
 */
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/common/cpu_features.h"
#include "engine/unzip/decrypt.h"

namespace {

struct Outcome {
  int open_rc = -1, read_rc = 0, verify_rc = -1;
  std::vector<uint8_t> bytes;
  bool operator==(const Outcome& o) const {
    return open_rc == o.open_rc && read_rc == o.read_rc && verify_rc == o.verify_rc && bytes == o.bytes;
  }
};

class Input {
 public:
  Input(const uint8_t* d, size_t n) : m_d(d), m_n(n) {}
  bool take(size_t k, const uint8_t** p) {
    if (k > m_n) return false;
    *p = m_d;
    m_d += k;
    m_n -= k;
    return true;
  }
  uint64_t le(size_t k, bool* ok) {
    const uint8_t* p;
    if (!take(k, &p)) return *ok = false, 0;
    uint64_t v = 0;
    for (size_t i = 0; i < k; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
  }
  const uint8_t* rest() const { return m_d; }
  size_t left() const { return m_n; }

 private:
  const uint8_t* m_d;
  size_t m_n;
};

Outcome run(const ostrana::ItemDataInfo& info, const uint8_t* raw_data, size_t raw_nbytes, size_t piece_seed) {
  Outcome out;
  ostrana::MemorySource raw(raw_data, raw_nbytes);
  std::unique_ptr<ostrana::ItemDataSource> source;
  out.open_rc = ostrana::open_item_data(info, raw, &source);
  if (out.open_rc != 0) return out;
  uint8_t buf[4096];
  size_t piece = piece_seed;
  for (;;) {
    piece = piece * 5 % 4093 + 1;
    std::ptrdiff_t got = source->read(buf, piece);
    if (got < 0) {
      out.read_rc = source->error();
      break;
    }
    if (got == 0) {
      out.verify_rc = source->verify_end();
      break;
    }
    out.bytes.insert(out.bytes.end(), buf, buf + got);
    if (out.bytes.size() > info.compressed_size) std::abort();  // more than the item holds
  }
  const size_t consumed = raw_nbytes - raw.remaining();
  if (consumed > info.compressed_size) std::abort();  // read past the item
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  bool ok = true;
  const uint8_t selector = static_cast<uint8_t>(in.le(1, &ok));
  ostrana::ItemDataInfo info;
  info.crc32 = static_cast<uint32_t>(in.le(4, &ok));
  info.dos_time = static_cast<uint16_t>(in.le(2, &ok));
  info.uncompressed_size = in.le(8, &ok);
  info.compressed_size = in.le(2, &ok);
  const size_t password_nbytes = static_cast<size_t>(in.le(1, &ok));
  const uint8_t* pw = nullptr;
  if (!ok || !in.take(password_nbytes, &pw)) return 0;
  std::string password(reinterpret_cast<const char*>(pw), password_nbytes);
  info.password = password.c_str();  // a NUL inside simply ends the password
  info.flags = static_cast<uint16_t>((selector & 1 ? 0x0001 : 0) | (selector & 2 ? 0x0008 : 0) | (selector & 4 ? 0x0040 : 0));
  std::vector<uint8_t> aes, strong;  // own copies, so an overread of a block is caught
  for (int which = 0; which < 2; ++which) {
    if ((selector & (which == 0 ? 8 : 16)) == 0) continue;
    const size_t n = static_cast<size_t>(in.le(1, &ok));
    const uint8_t* p;
    if (!ok || !in.take(n, &p)) return 0;
    (which == 0 ? aes : strong).assign(p, p + n);
  }
  if (selector & 8) {
    info.aes_block = aes.data();
    info.aes_block_nbytes = aes.size();
  }
  if (selector & 16) {
    info.strong_block = strong.data();
    info.strong_block_nbytes = strong.size();
  }
  std::vector<uint8_t> raw(in.rest(), in.rest() + in.left());

  ostrana::cpu_force_portable(false);
  const Outcome fast = run(info, raw.data(), raw.size(), info.crc32 & 0xFFF);
  ostrana::cpu_force_portable(true);
  const Outcome portable = run(info, raw.data(), raw.size(), info.crc32 & 0xFFF);
  ostrana::cpu_force_portable(false);
  if (!(fast == portable)) std::abort();  // the code paths must agree
  return 0;
}
