/* engine/unzip/unshrink.cpp - dynamic LZW expansion of shrunk items.
 *
 * The decoder runs one code behind the compressor: the entry for the
 * previous string plus the first byte of the current one is added only once
 * the current code is known.  That is why a code may name the very entry
 * about to be added (the string is then the previous one plus its own first
 * byte), and why partial clearing frees the leaves of the table as it stands
 * at that moment.  See unshrink.h.
 */
#include "engine/unzip/unshrink.h"

#include <cstring>

namespace ostrana {
namespace {

constexpr unsigned kEscape = 256;
constexpr unsigned kFirstFree = 257;
constexpr unsigned kMinCodeBits = 9;
constexpr unsigned kMaxCodeBits = 13;

}  // namespace

void Unshrinker::find_next_free() {
  while (m_next_free < kMaxCodes && m_parent[m_next_free] != kFreeCode) ++m_next_free;
}

void Unshrinker::partial_clear() {
  // m_stack serves as the "is some code's prefix" mark.
  std::memset(m_stack, 0, sizeof m_stack);
  for (unsigned c = kFirstFree; c < kMaxCodes; ++c)
    if (m_parent[c] != kFreeCode && m_parent[c] >= kFirstFree) m_stack[m_parent[c]] = 1;
  for (unsigned c = kFirstFree; c < kMaxCodes; ++c)
    if (m_stack[c] == 0) m_parent[c] = kFreeCode;
  m_next_free = kFirstFree;
  find_next_free();
}

CodecStatus Unshrinker::run(BitInput& in, OutputWindow& out, uint64_t out_nbytes) {
  for (unsigned c = 0; c < 256; ++c) {
    m_parent[c] = 0;
    m_last[c] = m_first[c] = static_cast<uint8_t>(c);
  }
  for (unsigned c = 256; c < kMaxCodes; ++c) m_parent[c] = kFreeCode;
  m_next_free = kFirstFree;
  unsigned code_bits = kMinCodeBits;
  int prev = -1;

  while (out.total_out() < out_nbytes) {
    if (in.m_nbits < 2 * kMaxCodeBits && !in.refill()) return CodecStatus::kInputFailed;
    const unsigned code = in.take(code_bits);
    if (in.overran()) break;
    if (code == kEscape) {
      const unsigned sub = in.take(code_bits);
      if (in.overran()) break;
      if (sub == 1 && code_bits < kMaxCodeBits) {
        ++code_bits;
      } else if (sub == 2) {
        partial_clear();
      } else {
        break;  // unknown escape, or a code size beyond 13 bits
      }
      continue;
    }

    // Spell the string backwards onto the stack.
    unsigned depth = 0;
    unsigned c = code;
    if (code >= kFirstFree && m_parent[code] == kFreeCode) {
      // Only the entry about to be added may be named before it exists.
      if (prev < 0 || code != m_next_free) break;
      m_stack[depth++] = m_first[prev];
      c = static_cast<unsigned>(prev);
    }
    bool broken = false;
    while (c >= kEscape) {
      if (m_parent[c] == kFreeCode || depth >= kMaxCodes - 1) {
        broken = true;  // a chain through a free code, or a cycle
        break;
      }
      m_stack[depth++] = m_last[c];
      c = m_parent[c];
    }
    if (broken) break;
    m_stack[depth++] = static_cast<uint8_t>(c);
    const uint8_t first = static_cast<uint8_t>(c);

    while (depth != 0 && out.total_out() < out_nbytes)
      if (!out.put(m_stack[--depth])) return CodecStatus::kStopped;

    if (prev >= 0 && m_next_free < kMaxCodes) {
      m_parent[m_next_free] = static_cast<uint16_t>(prev);
      m_last[m_next_free] = first;
      m_first[m_next_free] = m_first[prev];
      find_next_free();
    }
    prev = static_cast<int>(code);
  }
  return CodecStatus::kDone;
}

}  // namespace ostrana
