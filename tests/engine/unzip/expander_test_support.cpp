/* tests/engine/unzip/expander_test_support.cpp - helpers of the expander tests. */
#include "expander_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace exptest {

bool run_python_in(const std::string& dir, const std::string& script, const std::vector<std::string>& args) {
  const std::string path = dir + "/script.py";
  testenv::write_file(path, std::vector<uint8_t>(script.begin(), script.end()));
  std::string cmd = "python3 " + testenv::shell_quote(path);
  for (const auto& a : args) cmd += " " + testenv::shell_quote(a);
  const int rc = testenv::run_command(cmd);
  EXPECT_EQ(0, rc) << "python failed: " << cmd;
  return rc == 0;
}

std::vector<uint8_t> member_data(const std::vector<uint8_t>& archive, const testenv::WalkedItem& item) {
  const auto begin = archive.begin() + static_cast<std::ptrdiff_t>(item.data_offset);
  return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(item.compressed_size));
}

uint32_t reference_crc32(const std::vector<uint8_t>& data) {
  // Bit by bit, straight from the polynomial: nothing shared with the engine.
  uint32_t c = 0xFFFFFFFFu;
  for (uint8_t b : data) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

// ---- hand-built streams -----------------------------------------------------------

void BitWriter::put(uint32_t value, unsigned n) {
  ASSERT_LE(n, 32u);
  for (unsigned i = 0; i < n; ++i) {
    if (m_nbits == 0) m_bytes.push_back(0);
    m_bytes.back() |= static_cast<uint8_t>(((value >> i) & 1u) << m_nbits);
    m_nbits = (m_nbits + 1) & 7;
  }
}

void BitWriter::put_code(uint32_t code, unsigned n) {
  for (unsigned i = n; i-- > 0;) put((code >> i) & 1u, 1);
}

void BitWriter::align() {
  while (m_nbits != 0) put(0, 1);
}

std::vector<uint8_t> BitWriter::bytes() const { return m_bytes; }

void put_fixed_litlen(BitWriter& w, unsigned symbol) {
  if (symbol < 144) w.put_code(0x30 + symbol, 8);
  else if (symbol < 256) w.put_code(0x190 + symbol - 144, 9);
  else if (symbol < 280) w.put_code(symbol - 256, 7);
  else w.put_code(0xC0 + symbol - 280, 8);
}

void put_fixed_length(BitWriter& w, unsigned length) {
  if (length == 258) {
    put_fixed_litlen(w, 285);
    return;
  }
  unsigned base = 3;
  for (unsigned sym = 257; sym < 285; ++sym) {
    const unsigned extra = sym < 265 ? 0 : (sym - 261) / 4;
    if (length < base + (1u << extra)) {
      put_fixed_litlen(w, sym);
      w.put(length - base, extra);
      return;
    }
    base += 1u << extra;
  }
  ADD_FAILURE() << "length " << length << " cannot be coded";
}

void put_fixed_distance(BitWriter& w, unsigned distance) {
  unsigned base = 1;
  for (unsigned sym = 0; sym < 32; ++sym) {
    const unsigned extra = sym < 4 ? 0 : (sym - 2) / 2;
    if (distance < base + (1u << extra)) {
      w.put_code(sym, 5);
      w.put(distance - base, extra);
      return;
    }
    base += 1u << extra;
  }
  ADD_FAILURE() << "distance " << distance << " cannot be coded";
}

// ---- running the driver ------------------------------------------------------------

std::ptrdiff_t PieceSource::read(uint8_t* buf, size_t avail) {
  size_t n = std::min({avail, m_left, m_piece == 0 ? m_left : m_piece});
  if (n != 0) std::memcpy(buf, m_data, n);
  m_data += n;
  m_left -= n;
  return static_cast<std::ptrdiff_t>(n);
}

int CollectSink::write(const uint8_t* data, size_t nbytes) {
  ++writes;
  largest_write = std::max(largest_write, nbytes);
  if (bytes.size() + nbytes > refuse_after) return refuse_code;
  bytes.insert(bytes.end(), data, data + nbytes);
  return 0;
}

ExpandOutcome expand(uint16_t method, const std::vector<uint8_t>& data, uint64_t size, ostrana::ExpandMode mode,
                     uint16_t flags, size_t piece) {
  PieceSource src(data.data(), data.size(), piece);
  CollectSink sink;
  ostrana::ExpandRequest r;
  r.method = method;
  r.flags = flags;
  r.compressed_nbytes = data.size();
  r.uncompressed_nbytes = size;
  r.mode = mode;
  r.source = &src;
  r.sink = &sink;
  ExpandOutcome o;
  o.rc = ostrana::expand_item(r);
  o.out = std::move(sink.bytes);
  o.writes = sink.writes;
  o.largest_write = sink.largest_write;
  return o;
}

}  // namespace exptest
