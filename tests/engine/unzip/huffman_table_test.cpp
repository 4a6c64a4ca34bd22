/* tests/engine/unzip/huffman_table_test.cpp - the lookup tables of the expanders.
 *
 * Risk: a table that decodes some codeword wrongly only for rare code shapes
 * (deep codes, many subtables, a primary width close to the code's depth),
 * a capacity bound that a valid code can exceed, or a code set accepted
 * though the format forbids it.  Thousands of random complete codes of every
 * depth are built at every primary width and every codeword is decoded back.
 */
#include <gtest/gtest.h>

#include <queue>
#include <random>

#include "engine/unzip/huffman_table.h"

using namespace ostrana::huffman;

namespace {

/// Minimal bit reader over one codeword, for lookup().
struct OneCode {
  uint32_t bits;
  unsigned consumed = 0;
  uint32_t peek(unsigned n) const { return bits & ((1u << n) - 1); }
  void consume(unsigned n) {
    bits >>= n;
    consumed += n;
  }
};

uint32_t reversed(uint32_t v, unsigned n) {
  uint32_t r = 0;
  for (unsigned i = 0; i < n; ++i) r |= ((v >> i) & 1u) << (n - 1 - i);
  return r;
}

/// Code lengths of a Huffman code for random weights (no longer than @p max_len;
/// empty when the draw went deeper).
std::vector<uint8_t> random_huffman_lengths(std::mt19937& gen, unsigned nsyms, unsigned max_len) {
  std::vector<uint64_t> weight(nsyms);
  const unsigned skew = gen() % 4;
  for (unsigned s = 0; s < nsyms; ++s) {
    switch (skew) {
      case 0: weight[s] = 1 + gen() % 1000; break;                   // flat
      case 1: weight[s] = 1 + (gen() % 2 ? gen() % 100000 : 0); break;  // two classes
      case 2: weight[s] = uint64_t{1} << (gen() % 20); break;        // deep
      default: weight[s] = gen() % 3 ? 1 + gen() % 10 : 0; break;    // some unused
    }
  }
  using Node = std::pair<uint64_t, int>;
  std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
  std::vector<int> parent(2 * nsyms, -1);
  int next = static_cast<int>(nsyms);
  unsigned used = 0;
  for (unsigned s = 0; s < nsyms; ++s)
    if (weight[s] != 0) q.push({weight[s], static_cast<int>(s)}), ++used;
  std::vector<uint8_t> lengths(nsyms, 0);
  if (used < 2) return {};
  while (q.size() > 1) {
    Node a = q.top();
    q.pop();
    Node b = q.top();
    q.pop();
    parent[a.second] = parent[b.second] = next;
    q.push({a.first + b.first, next++});
  }
  for (unsigned s = 0; s < nsyms; ++s) {
    if (weight[s] == 0) continue;
    unsigned depth = 0;
    for (int n = static_cast<int>(s); parent[n] != -1; n = parent[n]) ++depth;
    if (depth > max_len) return {};
    lengths[s] = static_cast<uint8_t>(depth);
  }
  return lengths;
}

TEST(HuffmanTable, RandomCompleteCodesDecodeEveryCodewordAtEveryWidth) {
  std::mt19937 gen(4);
  unsigned built = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const unsigned nsyms = 2 + gen() % 287;
    const std::vector<uint8_t> lengths = random_huffman_lengths(gen, nsyms, 15);
    if (lengths.empty()) continue;
    std::vector<uint32_t> templates(nsyms);
    for (unsigned s = 0; s < nsyms; ++s) templates[s] = make_template(s, 0);
    std::vector<Codeword> words(nsyms);
    const int n = assign_canonical(lengths.data(), nsyms, templates.data(), Completeness::kComplete, words.data());
    ASSERT_GT(n, 0);
    const unsigned primary = 1 + gen() % 11;
    std::vector<uint32_t> table(table_capacity(primary, nsyms, 15));
    ASSERT_TRUE(build_table(words.data(), static_cast<unsigned>(n), primary, table.data(), table.size()))
        << "trial " << trial << " primary " << primary;
    ++built;
    for (int k = 0; k < n; ++k) {
      const Codeword& w = words[static_cast<size_t>(k)];
      // The stream carries the codeword most significant bit first; junk after it.
      OneCode in{reversed(w.bits, w.nbits) | static_cast<uint32_t>(gen() << w.nbits)};
      const uint32_t e = lookup(table.data(), primary, in);
      ASSERT_FALSE(e & kFlagsExceptional);
      ASSERT_EQ(entry_value(w.entry_template), entry_value(e));
      ASSERT_EQ(w.nbits, in.consumed + entry_consume(e));
    }
  }
  EXPECT_GT(built, 2000u);
}

TEST(HuffmanTable, OverSubscribedAndIncompleteSetsAreRefused) {
  std::vector<uint32_t> t(32, 0);
  Codeword words[32];
  const uint8_t over[] = {1, 1, 1};
  EXPECT_EQ(-1, assign_canonical(over, 3, t.data(), Completeness::kComplete, words));
  EXPECT_EQ(-1, assign_canonical(over, 3, t.data(), Completeness::kDistanceCode, words));
  const uint8_t incomplete[] = {1, 2, 0};
  EXPECT_EQ(-1, assign_canonical(incomplete, 3, t.data(), Completeness::kComplete, words));
  EXPECT_EQ(-1, assign_canonical(incomplete, 3, t.data(), Completeness::kDistanceCode, words));
  const uint8_t too_long[] = {1, 16};
  EXPECT_EQ(-1, assign_canonical(too_long, 2, t.data(), Completeness::kComplete, words));
  // The distance code's exceptions: one code of one bit, or none at all.
  const uint8_t lone[] = {0, 0, 1, 0};
  EXPECT_EQ(1, assign_canonical(lone, 4, t.data(), Completeness::kDistanceCode, words));
  EXPECT_EQ(-1, assign_canonical(lone, 4, t.data(), Completeness::kComplete, words));
  const uint8_t lone_long[] = {0, 2, 0, 0};
  EXPECT_EQ(-1, assign_canonical(lone_long, 4, t.data(), Completeness::kDistanceCode, words));
  const uint8_t none[] = {0, 0, 0};
  EXPECT_EQ(0, assign_canonical(none, 3, t.data(), Completeness::kDistanceCode, words));
}

TEST(HuffmanTable, UnusedCodewordsOfAnIncompleteCodeDecodeAsInvalid) {
  // One codeword "0" of one bit: every pattern starting with 1 is invalid,
  // including the ones reached through the primary table's full width.
  const uint8_t lone[] = {0, 1};
  const uint32_t templates[] = {make_template(0, 0), make_template(7, 0)};
  Codeword words[2];
  ASSERT_EQ(1, assign_canonical(lone, 2, templates, Completeness::kDistanceCode, words));
  std::vector<uint32_t> table(table_capacity(8, 2, 15));
  ASSERT_TRUE(build_table(words, 1, 8, table.data(), table.size()));
  for (uint32_t bits = 0; bits < 256; ++bits) {
    OneCode in{bits};
    const uint32_t e = lookup(table.data(), 8, in);
    if (bits & 1) {
      EXPECT_TRUE(e & kFlagInvalid) << bits;
    } else {
      EXPECT_EQ(7u, entry_value(e));
      EXPECT_EQ(1u, entry_consume(e));
    }
  }
  // No codeword at all: everything is invalid.
  ASSERT_TRUE(build_table(words, 0, 8, table.data(), table.size()));
  for (uint32_t bits = 0; bits < 256; ++bits) {
    OneCode in{bits};
    EXPECT_TRUE(lookup(table.data(), 8, in) & kFlagInvalid);
  }
}

TEST(HuffmanTable, ExtraBitsAreFoldedIntoTheEntry) {
  // A length symbol whose entry also consumes its 5 extra bits.
  const uint8_t lengths[] = {1, 1};
  const uint32_t templates[] = {make_template(131, 0, 5), make_template(9, kFlagLiteral)};
  Codeword words[2];
  ASSERT_EQ(2, assign_canonical(lengths, 2, templates, Completeness::kComplete, words));
  std::vector<uint32_t> table(table_capacity(4, 2, 15));
  ASSERT_TRUE(build_table(words, 2, 4, table.data(), table.size()));
  OneCode in{0b10110u << 1};  // codeword '0', then the extra bits 10110
  const uint32_t e = lookup(table.data(), 4, in);
  EXPECT_EQ(131u, entry_value(e));
  EXPECT_EQ(6u, entry_consume(e));  // one codeword bit and five extra bits
  EXPECT_EQ(1u, entry_code_bits(e));
}

}  // namespace

namespace {

/// The table of the two-step build, or empty when either step refuses.
std::vector<uint32_t> two_step_table(const std::vector<uint8_t>& lengths, const std::vector<uint32_t>& templates,
                                     Completeness c, unsigned primary) {
  std::vector<Codeword> words(lengths.size() + 1);
  std::vector<uint32_t> table(table_capacity(primary, static_cast<unsigned>(lengths.size()), 15));
  const int n = assign_canonical(lengths.data(), static_cast<unsigned>(lengths.size()), templates.data(), c,
                                 words.data());
  if (n < 0 || !build_table(words.data(), static_cast<unsigned>(n), primary, table.data(), table.size())) return {};
  return table;
}

TEST(HuffmanTable, OneStepBuildGivesTheTwoStepTableAndRefusesTheSameCodes) {
  // Random complete codes at every width, the distance code's two
  // exceptions, and refused sets: the table the inflater builds in one step
  // must be the very table of assign_canonical() + build_table().
  std::mt19937 gen(29);
  std::vector<std::pair<std::vector<uint8_t>, Completeness>> cases = {
      {{1, 1, 1}, Completeness::kComplete},       {{1, 2, 0}, Completeness::kComplete},
      {{1, 2, 0}, Completeness::kDistanceCode},   {{0, 0, 1, 0}, Completeness::kDistanceCode},
      {{0, 0, 1, 0}, Completeness::kComplete},    {{0, 0, 0}, Completeness::kDistanceCode},
      {{0, 2, 0, 0}, Completeness::kDistanceCode}, {{1, 16}, Completeness::kComplete}};
  while (cases.size() < 1500) {
    std::vector<uint8_t> lengths = random_huffman_lengths(gen, 2 + gen() % 287, 15);
    if (!lengths.empty()) cases.push_back({lengths, Completeness::kComplete});
  }
  unsigned refused = 0;
  for (size_t k = 0; k < cases.size(); ++k) {
    const auto& [lengths, completeness] = cases[k];
    std::vector<uint32_t> templates(lengths.size());
    for (unsigned s = 0; s < templates.size(); ++s) templates[s] = make_template(s, s < 256 ? kFlagLiteral : 0, s % 6);
    const unsigned primary = 1 + static_cast<unsigned>(k % 12);
    const std::vector<uint32_t> expected = two_step_table(lengths, templates, completeness, primary);
    std::vector<uint32_t> table(table_capacity(primary, static_cast<unsigned>(lengths.size()), 15));
    const bool built = build_canonical_table(lengths.data(), static_cast<unsigned>(lengths.size()), templates.data(),
                                             completeness, primary, table.data(), table.size());
    ASSERT_EQ(!expected.empty(), built) << "case " << k;
    if (!built) {
      ++refused;
      continue;
    }
    ASSERT_EQ(expected, table) << "case " << k << " primary " << primary;
  }
  EXPECT_EQ(6u, refused);
}

}  // namespace
