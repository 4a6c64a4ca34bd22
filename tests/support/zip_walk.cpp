/* tests/support/zip_walk.cpp - a minimal central-directory walk for tests. */
#include "zip_walk.h"

#include <stdexcept>

namespace testenv {
namespace {

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("zip_walk: short archive");
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | (uint32_t(le16(b, at + 2)) << 16); }

std::vector<uint8_t> find_block(const std::vector<uint8_t>& extra, uint16_t tag) {
  for (size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t t = le16(extra, at), n = le16(extra, at + 2);
    if (at + 4 + n > extra.size()) break;
    if (t == tag) return std::vector<uint8_t>(extra.begin() + at, extra.begin() + at + 4 + n);
    at += 4 + n;
  }
  return {};
}

}  // namespace

std::vector<uint8_t> WalkedItem::extra_block(uint16_t tag) const {
  auto block = find_block(central_extra, tag);
  return block.empty() ? find_block(local_extra, tag) : block;
}

std::vector<WalkedItem> walk_zip(const std::vector<uint8_t>& a) {
  if (a.size() < 22) throw std::runtime_error("zip_walk: too short");
  size_t eocd = a.size() - 22;
  while (le32(a, eocd) != 0x06054B50) {
    if (eocd == 0) throw std::runtime_error("zip_walk: no end record");
    --eocd;
  }
  const size_t count = le16(a, eocd + 10);
  size_t at = le32(a, eocd + 16);
  std::vector<WalkedItem> items;
  for (size_t i = 0; i < count; ++i) {
    if (le32(a, at) != 0x02014B50) throw std::runtime_error("zip_walk: bad central header");
    WalkedItem it;
    it.flags = le16(a, at + 8);
    it.method = le16(a, at + 10);
    it.dos_time = le16(a, at + 12);
    it.dos_date = le16(a, at + 14);
    it.crc32 = le32(a, at + 16);
    it.compressed_size = le32(a, at + 20);
    it.uncompressed_size = le32(a, at + 24);
    const size_t n = le16(a, at + 28), m = le16(a, at + 30), k = le16(a, at + 32);
    const size_t local = le32(a, at + 42);
    if (at + 46 + n + m > a.size()) throw std::runtime_error("zip_walk: central header overruns");
    it.name.assign(a.begin() + at + 46, a.begin() + at + 46 + n);
    it.central_extra.assign(a.begin() + at + 46 + n, a.begin() + at + 46 + n + m);
    if (le32(a, local) != 0x04034B50) throw std::runtime_error("zip_walk: bad local header");
    const size_t ln = le16(a, local + 26), lm = le16(a, local + 28);
    if (local + 30 + ln + lm > a.size()) throw std::runtime_error("zip_walk: local header overruns");
    it.local_extra.assign(a.begin() + local + 30 + ln, a.begin() + local + 30 + ln + lm);
    it.data_offset = local + 30 + ln + lm;
    if (it.data_offset + it.compressed_size > a.size()) throw std::runtime_error("zip_walk: data overruns");
    items.push_back(std::move(it));
    at += 46 + n + m + k;
  }
  return items;
}

}  // namespace testenv
