/* tests/support/reference_inflate.h - a small, slow, strict inflate for checking compressor output.
 *
 * Written from RFC 1951, with the Deflate64 extension (length code 285 = base 3
 * plus 16 extra bits, distance codes 30 and 31, 64 KiB window) when asked.  It
 * decodes bit by bit with canonical-code tables and is as strict as the
 * strictest decoders the archives meet: over-subscribed and incomplete codes are
 * refused (except a single code of length 1), so are length codes 286/287,
 * distance codes the format does not have, distances before the start of the
 * data or beyond the window, a stored block whose NLEN does not match, and any
 * read past the end.  Header-only so that the fuzz targets can use it too.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace refinflate {

struct Result {
  bool ok = false;
  std::string error;          // why decoding stopped, when !ok
  std::vector<uint8_t> data;  // what was decoded
  size_t consumed = 0;        // bytes of input used, the final partial byte included
  int blocks_stored = 0, blocks_fixed = 0, blocks_dynamic = 0;
  uint32_t longest_length = 0;
  uint32_t farthest_distance = 0;
};

namespace detail {

struct Huffman {
  uint16_t count[16] = {};
  uint16_t symbol[320] = {};
};

class Reader {
 public:
  Reader(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
  bool bits(int need, uint32_t& v) {
    v = 0;
    for (int i = 0; i < need; ++i) {
      if (m_pos >= m_n) return false;
      uint32_t bit = (m_p[m_pos] >> m_bit) & 1u;
      v |= bit << i;
      if (++m_bit == 8) {
        m_bit = 0;
        ++m_pos;
      }
    }
    return true;
  }
  void align() {
    if (m_bit != 0) {
      m_bit = 0;
      ++m_pos;
    }
  }
  bool byte(uint8_t& b) {
    if (m_pos >= m_n) return false;
    b = m_p[m_pos++];
    return true;
  }
  size_t consumed() const { return m_pos + (m_bit ? 1 : 0); }

 private:
  const uint8_t* m_p;
  size_t m_n;
  size_t m_pos = 0;
  int m_bit = 0;
};

/// Builds decoding tables; false for an over-subscribed or incomplete code
/// (a single code of length 1 is allowed, as strict decoders allow it).
inline bool build(Huffman& h, const uint8_t* lens, int n) {
  for (auto& c : h.count) c = 0;
  for (int s = 0; s < n; ++s) ++h.count[lens[s]];
  if (h.count[0] == n) return true;  // no codes: only valid if never used
  int left = 1;
  for (int len = 1; len < 16; ++len) {
    left <<= 1;
    left -= h.count[len];
    if (left < 0) return false;
  }
  uint16_t offs[16];
  offs[1] = 0;
  for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<uint16_t>(offs[len] + h.count[len]);
  for (int s = 0; s < n; ++s)
    if (lens[s] != 0) h.symbol[offs[lens[s]]++] = static_cast<uint16_t>(s);
  if (left > 0 && !(n - h.count[0] == 1 && h.count[1] == 1)) return false;
  return true;
}

inline bool decode(Reader& r, const Huffman& h, int& sym) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len < 16; ++len) {
    uint32_t bit;
    if (!r.bits(1, bit)) return false;
    code |= static_cast<int>(bit);
    int count = h.count[len];
    if (code - count < first) {
      sym = h.symbol[index + (code - first)];
      return true;
    }
    index += count;
    first += count;
    first <<= 1;
    code <<= 1;
  }
  return false;
}

}  // namespace detail

/// Decodes one deflate (or Deflate64) stream from @p in.  Stops after the last
/// block; @p max_output bounds the output (a fuzz guard).
inline Result inflate(const uint8_t* in, size_t nbytes, bool deflate64, size_t max_output = SIZE_MAX) {
  static const uint16_t kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const uint8_t kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static const uint32_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
                                         49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
                                         2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
  static const uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
  static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

  Result res;
  detail::Reader r(in, nbytes);
  const uint32_t window = deflate64 ? 65536 : 32768;
  const int ndist = deflate64 ? 32 : 30;
  auto fail = [&](const char* why) {
    res.error = why;
    res.consumed = r.consumed();
    return res;
  };
  for (;;) {
    uint32_t final, type;
    if (!r.bits(1, final) || !r.bits(2, type)) return fail("truncated block header");
    if (type == 0) {
      r.align();
      uint8_t b[4];
      for (auto& x : b)
        if (!r.byte(x)) return fail("truncated stored header");
      uint32_t len = b[0] | (b[1] << 8), nlen = b[2] | (b[3] << 8);
      if ((len ^ 0xFFFFu) != nlen) return fail("stored NLEN mismatch");
      for (uint32_t i = 0; i < len; ++i) {
        uint8_t x;
        if (!r.byte(x)) return fail("truncated stored data");
        if (res.data.size() >= max_output) return fail("output limit");
        res.data.push_back(x);
      }
      ++res.blocks_stored;
    } else if (type == 1 || type == 2) {
      detail::Huffman lit, dist;
      uint8_t lens[320] = {};
      if (type == 1) {
        for (int s = 0; s < 288; ++s) lens[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        for (int s = 0; s < 32; ++s) lens[288 + s] = 5;
        detail::build(lit, lens, 288);
        detail::build(dist, lens + 288, 32);
        ++res.blocks_fixed;
      } else {
        uint32_t hlit, hdist, hclen;
        if (!r.bits(5, hlit) || !r.bits(5, hdist) || !r.bits(4, hclen)) return fail("truncated tree header");
        hlit += 257;
        hdist += 1;
        hclen += 4;
        if (hlit > 286) return fail("too many length codes");
        if (hdist > static_cast<uint32_t>(ndist)) return fail("too many distance codes");
        uint8_t cl[19] = {};
        for (uint32_t i = 0; i < hclen; ++i) {
          uint32_t v;
          if (!r.bits(3, v)) return fail("truncated code lengths");
          cl[kOrder[i]] = static_cast<uint8_t>(v);
        }
        detail::Huffman clh;
        if (!detail::build(clh, cl, 19)) return fail("bad code-length code");
        uint32_t i = 0;
        while (i < hlit + hdist) {
          int sym;
          if (!detail::decode(r, clh, sym)) return fail("bad code-length symbol");
          if (sym < 16) {
            lens[i++] = static_cast<uint8_t>(sym);
            continue;
          }
          uint32_t rep, val = 0;
          if (sym == 16) {
            if (i == 0) return fail("repeat with no previous length");
            val = lens[i - 1];
            if (!r.bits(2, rep)) return fail("truncated repeat");
            rep += 3;
          } else if (sym == 17) {
            if (!r.bits(3, rep)) return fail("truncated repeat");
            rep += 3;
          } else {
            if (!r.bits(7, rep)) return fail("truncated repeat");
            rep += 11;
          }
          if (i + rep > hlit + hdist) return fail("repeat past the end of the lengths");
          while (rep--) lens[i++] = static_cast<uint8_t>(val);
        }
        if (lens[256] == 0) return fail("no end-of-block code");
        uint8_t dl[32] = {};
        for (uint32_t d = 0; d < hdist; ++d) dl[d] = lens[hlit + d];
        uint8_t ll[288] = {};
        for (uint32_t s = 0; s < hlit; ++s) ll[s] = lens[s];
        if (!detail::build(lit, ll, static_cast<int>(hlit))) return fail("bad literal/length code");
        if (!detail::build(dist, dl, static_cast<int>(hdist))) return fail("bad distance code");
        ++res.blocks_dynamic;
      }
      for (;;) {
        int sym;
        if (!detail::decode(r, lit, sym)) return fail("bad literal/length symbol");
        if (sym < 256) {
          if (res.data.size() >= max_output) return fail("output limit");
          res.data.push_back(static_cast<uint8_t>(sym));
          continue;
        }
        if (sym == 256) break;
        if (sym > 285) return fail("invalid length code");
        uint32_t len, extra;
        if (sym == 285 && deflate64) {
          if (!r.bits(16, extra)) return fail("truncated length");
          len = 3 + extra;
        } else {
          if (!r.bits(kLenExtra[sym - 257], extra)) return fail("truncated length");
          len = kLenBase[sym - 257] + extra;
        }
        int dsym;
        if (!detail::decode(r, dist, dsym)) return fail("bad distance symbol");
        if (dsym >= ndist) return fail("invalid distance code");
        uint32_t dext;
        if (!r.bits(kDistExtra[dsym], dext)) return fail("truncated distance");
        uint32_t d = kDistBase[dsym] + dext;
        if (d > res.data.size()) return fail("distance before the start");
        if (d > window) return fail("distance beyond the window");
        if (res.data.size() + len > max_output) return fail("output limit");
        if (len > res.longest_length) res.longest_length = len;
        if (d > res.farthest_distance) res.farthest_distance = d;
        size_t from = res.data.size() - d;
        for (uint32_t k = 0; k < len; ++k) res.data.push_back(res.data[from + k]);
      }
    } else {
      return fail("invalid block type 3");
    }
    if (final) break;
  }
  res.ok = true;
  res.consumed = r.consumed();
  return res;
}

}  // namespace refinflate
