/* engine/zip/deflate_huffman.cpp - length-limited Huffman code lengths and canonical codes.
 *
 * First a plain Huffman code (two queues over the sorted leaves); when its
 * longest code exceeds the limit, package-merge instead.  Package-merge: list 1 is the used symbols sorted by frequency; list i is list
 * 1 merged with the pairs ("packages") of consecutive items of list i-1.  The
 * first 2n-2 items of list `limit` are selected, and a symbol's code length is
 * the number of selected items that contain it.  Packages are made lazily while
 * merging, and each list is cut to the 2n-2 items that can ever be selected.
 */
#include "engine/zip/deflate_huffman.h"

#include <algorithm>
#include <cstring>

namespace ostrana::deflate {

namespace {

constexpr int kMaxCodeBitsPlusOne = 16;  // code lengths 0..15

/// Used symbols of @p freq sorted by (frequency, symbol); returns their number.
/// Most frequencies of a block are small: the symbols are dealt into one
/// bucket per frequency below @p nsyms, in symbol order, and only those of
/// the last bucket (every larger frequency) are sorted by comparison.
int sortUsedSymbols(const uint32_t* freq, int nsyms, uint64_t* keys) {
  const uint32_t top = static_cast<uint32_t>(nsyms);
  uint16_t next[kMaxAlphabet + 1];
  std::memset(next, 0, sizeof next[0] * (top + 1));
  for (int s = 0; s < nsyms; ++s) ++next[std::min(freq[s], top)];
  int count = 0;
  for (uint32_t b = 1; b <= top; ++b) {
    const int n = next[b];
    next[b] = static_cast<uint16_t>(count);
    count += n;
  }
  const int large = next[top];
  for (int s = 0; s < nsyms; ++s) {
    if (freq[s] != 0)
      keys[next[std::min(freq[s], top)]++] = (static_cast<uint64_t>(freq[s]) << 16) | static_cast<uint64_t>(s);
  }
  std::sort(keys + large, keys + count);
  return count;
}

}  // namespace

namespace {

/// Huffman code lengths of @p count leaves with ascending weights (two-queue
/// method: internal nodes are made in ascending weight order).  Returns the
/// longest length.
int huffmanLengths(const uint64_t* keys, int count, HuffmanScratch& scratch, uint8_t* lens_ret) {
  uint64_t* node_weight = scratch.weight;
  int32_t* node_parent = scratch.left;
  int32_t* leaf_parent = scratch.right;
  int leaf = 0, next_node = 0;
  auto take = [&](int32_t parent) -> uint64_t {
    if (leaf < count && (next_node >= parent || (keys[leaf] >> 16) <= node_weight[next_node])) {
      leaf_parent[leaf] = parent;
      return keys[leaf++] >> 16;
    }
    node_parent[next_node] = parent;
    return node_weight[next_node++];
  };
  for (int32_t k = 0; k < count - 1; ++k) {
    uint64_t a = take(k);
    uint64_t b = take(k);
    node_weight[k] = a + b;
  }
  // Depths: the root is the last node made; parents come after their children.
  int32_t* depth = scratch.list_a;
  depth[count - 2] = 0;
  for (int32_t k = count - 3; k >= 0; --k) depth[k] = depth[node_parent[k]] + 1;
  int longest = 0;
  for (int i = 0; i < count; ++i) {
    int len = depth[leaf_parent[i]] + 1;
    lens_ret[keys[i] & 0xFFFF] = static_cast<uint8_t>(len);
    if (len > longest) longest = len;
  }
  return longest;
}

/// Package-merge: optimal lengths with none above @p limit.
void packageMergeLengths(const uint64_t* keys, int count, int limit, HuffmanScratch& scratch,
                         uint8_t* lens_ret) {
  // Leaves are nodes 0..count-1 in ascending frequency.
  uint64_t* weight = scratch.weight;
  int32_t* left = scratch.left;
  int32_t* right = scratch.right;
  for (int i = 0; i < count; ++i) {
    weight[i] = keys[i] >> 16;
    left[i] = -1;
    right[i] = static_cast<int32_t>(keys[i] & 0xFFFF);
    lens_ret[right[i]] = 0;
  }
  int nodes = count;
  const int keep = 2 * count - 2;

  int32_t* prev = scratch.list_a;
  int32_t* cur = scratch.list_b;
  int prev_len = std::min(count, keep);
  for (int i = 0; i < prev_len; ++i) prev[i] = i;

  for (int level = 2; level <= limit; ++level) {
    int npackages = prev_len / 2;
    int leaf = 0, pkg = 0, cur_len = 0;
    while (cur_len < keep && (leaf < count || pkg < npackages)) {
      bool take_leaf;
      if (leaf >= count) {
        take_leaf = false;
      } else if (pkg >= npackages) {
        take_leaf = true;
      } else {
        uint64_t pw = weight[prev[2 * pkg]] + weight[prev[2 * pkg + 1]];
        take_leaf = weight[leaf] <= pw;
      }
      if (take_leaf) {
        cur[cur_len++] = leaf++;
      } else {
        int32_t a = prev[2 * pkg], b = prev[2 * pkg + 1];
        weight[nodes] = weight[a] + weight[b];
        left[nodes] = a;
        right[nodes] = b;
        cur[cur_len++] = nodes++;
        ++pkg;
      }
    }
    std::swap(prev, cur);
    prev_len = cur_len;
  }

  // Count how often each leaf occurs in the selected items.
  int32_t stack[2 * 16 + 2];
  for (int i = 0; i < keep && i < prev_len; ++i) {
    int sp = 0;
    stack[sp++] = prev[i];
    while (sp > 0) {
      int32_t n = stack[--sp];
      if (left[n] < 0) {
        ++lens_ret[right[n]];
      } else {
        stack[sp++] = left[n];
        stack[sp++] = right[n];
      }
    }
  }
}

}  // namespace

void buildCodeLengths(const uint32_t* freq, int nsyms, int limit, HuffmanScratch& scratch,
                      uint8_t* lens_ret) {
  std::memset(lens_ret, 0, static_cast<size_t>(nsyms));
  uint64_t keys[kMaxAlphabet];
  int count = sortUsedSymbols(freq, nsyms, keys);

  // Fewer than two used symbols: a complete code of two length-1 codes.
  if (count < 2) {
    int used = count == 1 ? static_cast<int>(keys[0] & 0xFFFF) : -1;
    int given = 0;
    if (used >= 0) {
      lens_ret[used] = 1;
      ++given;
    }
    for (int s = 0; s < nsyms && given < 2; ++s) {
      if (s != used) {
        lens_ret[s] = 1;
        ++given;
      }
    }
    return;
  }
  // A plain Huffman code is optimal when it keeps to the limit; only when it
  // does not is the (slower) package-merge needed.
  if (huffmanLengths(keys, count, scratch, lens_ret) > limit)
    packageMergeLengths(keys, count, limit, scratch, lens_ret);
}

void buildCanonicalCodes(const uint8_t* lens, int nsyms, uint16_t* codes_ret) {
  uint32_t count[kMaxCodeBitsPlusOne] = {};
  for (int s = 0; s < nsyms; ++s) ++count[lens[s]];
  count[0] = 0;
  uint32_t next[kMaxCodeBitsPlusOne] = {};
  uint32_t code = 0;
  for (int bits = 1; bits < kMaxCodeBitsPlusOne; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  for (int s = 0; s < nsyms; ++s) {
    int len = lens[s];
    codes_ret[s] = len == 0 ? 0 : static_cast<uint16_t>(reverseBits(next[len]++, len));
  }
}

}  // namespace ostrana::deflate
