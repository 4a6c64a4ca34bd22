/* tests/engine/zip/found_list_test.cpp - sorting and de-duplicating the found list.
 *
 * Risks: a sort that depends on the machine's locale, keeps the wrong one of two
 * equal names, polls for cancel too often or never, or leaves a half-sorted list
 * behind after a cancel.
 */
#include <gtest/gtest.h>

#include <random>

#include "engine/zip/found_list.h"
#include "ostrana_results.h"
#include "selection_fakes.h"

using namespace ostrana;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace {

std::vector<SelectedFile> nodes(std::initializer_list<const char*> names) {
  std::vector<SelectedFile> out;
  int n = 0;
  for (const char* name : names) out.push_back(SelectedFile{"src" + std::to_string(n++), name, 0, 0x20, 1});
  return out;
}

}  // namespace

TEST(FoundList, ByteOrderAndTheLaterOfEqualNamesStays) {
  auto found = nodes({"b.txt", "B.txt", "a/x", "a.txt", "\xC3\xA9.txt", "b.txt", "Z"});
  ASSERT_EQ(0, sort_found_list(&found, nullptr));
  // Byte order: upper case before lower case, "." before "/", UTF-8 after ASCII.
  EXPECT_EQ((Names{"B.txt", "Z", "a.txt", "a/x", "b.txt", "\xC3\xA9.txt"}), names_of(found));
  EXPECT_EQ("src5", found[4].source_path);  // the second "b.txt" was selected later
}

TEST(FoundList, EmptyAndSingle) {
  std::vector<SelectedFile> none;
  EXPECT_EQ(0, sort_found_list(&none, nullptr));
  auto one = nodes({"x"});
  EXPECT_EQ(0, sort_found_list(&one, nullptr));
  EXPECT_EQ((Names{"x"}), names_of(one));
}

TEST(FoundList, PollEveryThousandComparisonsAndCancel) {
  std::vector<SelectedFile> found;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) found.push_back(SelectedFile{"p", "name" + std::to_string(rng() % 100000), 0, 0, 0});
  std::vector<SelectedFile> original = found;

  FakeProgress progress;
  progress.cancel_at = 1;  // cancel at the first poll: the 1,000th comparison
  EXPECT_EQ(OZ_INTERRUPTED, sort_found_list(&found, &progress));
  EXPECT_EQ(1, progress.polls);
  EXPECT_EQ(names_of(original), names_of(found));  // untouched after a cancel

  FakeProgress counting;
  ASSERT_EQ(0, sort_found_list(&found, &counting));
  // A merge sort of 5,000 names needs between about 30,000 and 62,000 comparisons.
  EXPECT_GE(counting.polls, 25);
  EXPECT_LE(counting.polls, 62);
  for (size_t i = 1; i < found.size(); ++i) EXPECT_LT(found[i - 1].name, found[i].name);
}

TEST(FoundList, FewerThanAThousandComparisonsNeverPoll) {
  auto found = nodes({"c", "b", "a", "d"});
  FakeProgress progress;
  progress.cancel_at = 1;
  EXPECT_EQ(0, sort_found_list(&found, &progress));
  EXPECT_EQ(0, progress.polls);
}

TEST(EntryNameIndex, CaseInsensitiveLookupInArchiveOrder) {
  FakeEntries entries({"b.txt", "A.TXT", "a.txt", "dir/c"});
  EntryNameIndex index;
  index.build(&entries);
  EXPECT_TRUE(index.contains("B.TXT"));
  EXPECT_TRUE(index.contains("DIR/C"));
  EXPECT_FALSE(index.contains("c"));
  EXPECT_FALSE(index.contains("a.tx"));
  EXPECT_EQ((std::vector<size_t>{1, 2}), index.matches("a.Txt"));
  EntryNameIndex empty;
  empty.build(nullptr);
  EXPECT_FALSE(empty.contains("b.txt"));
}
