/* tests/engine/unzip/expander_test_support.cpp - helpers of the expander tests. */
#include "expander_test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace exptest {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  EXPECT_TRUE(f.good()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(f), {}};
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(f.good()) << "cannot write " << path;
}

std::string shell_quote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int run_shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool run_python(const std::string& dir, const std::string& script, const std::vector<std::string>& args) {
  const std::string path = dir + "/script.py";
  write_file(path, std::vector<uint8_t>(script.begin(), script.end()));
  std::string cmd = "python3 " + shell_quote(path);
  for (const auto& a : args) cmd += " " + shell_quote(a);
  const int rc = run_shell(cmd);
  EXPECT_EQ(0, rc) << "python failed: " << cmd;
  return rc == 0;
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

// ---- archives -------------------------------------------------------------------

namespace {
uint16_t le16(const std::vector<uint8_t>& b, size_t p) { return static_cast<uint16_t>(b[p] | b[p + 1] << 8); }
uint32_t le32(const std::vector<uint8_t>& b, size_t p) {
  return b[p] | b[p + 1] << 8 | b[p + 2] << 16 | static_cast<uint32_t>(b[p + 3]) << 24;
}
}  // namespace

std::vector<ZipMember> list_zip(const std::vector<uint8_t>& archive) {
  std::vector<ZipMember> members;
  if (archive.size() < 22) {
    ADD_FAILURE() << "not an archive";
    return members;
  }
  size_t eocd = archive.size() - 22;
  while (le32(archive, eocd) != 0x06054B50) {
    if (eocd == 0 || archive.size() - eocd > 65557) {
      ADD_FAILURE() << "no end of central directory";
      return members;
    }
    --eocd;
  }
  const unsigned count = le16(archive, eocd + 10);
  size_t p = le32(archive, eocd + 16);
  for (unsigned i = 0; i < count; ++i) {
    if (p + 46 > archive.size() || le32(archive, p) != 0x02014B50) {
      ADD_FAILURE() << "bad central header " << i;
      return {};
    }
    ZipMember m;
    m.flags = le16(archive, p + 8);
    m.method = le16(archive, p + 10);
    m.crc32 = le32(archive, p + 16);
    m.compressed_nbytes = le32(archive, p + 20);
    m.uncompressed_nbytes = le32(archive, p + 24);
    const size_t name_len = le16(archive, p + 28);
    m.name.assign(archive.begin() + static_cast<std::ptrdiff_t>(p + 46),
                  archive.begin() + static_cast<std::ptrdiff_t>(p + 46 + name_len));
    const size_t local = le32(archive, p + 42);
    if (local + 30 > archive.size() || le32(archive, local) != 0x04034B50) {
      ADD_FAILURE() << "bad local header for " << m.name;
      return {};
    }
    m.data_offset = local + 30 + le16(archive, local + 26) + le16(archive, local + 28);
    if (m.data_offset + m.compressed_nbytes > archive.size()) {
      ADD_FAILURE() << "data of " << m.name << " runs past the archive";
      return {};
    }
    members.push_back(m);
    p += 46 + name_len + le16(archive, p + 30) + le16(archive, p + 32);
  }
  return members;
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
