/* tests/engine/zip/ambiguous_end_test.cpp - an old archive with a second end record after its own.
 *
 * Walking an archive from its first local header ends at its first end
 * record; readers that search from the end of the file find the last one.
 * When the two differ (a second archive appended, a damaged copy in the
 * comment), a rewritten archive would keep the later end record in its
 * comment and be misread by every such reader: the writer refuses it with 3,
 * untouched, and a repair run rebuilds it into an archive every reader agrees on.
 * (Found by the update_archive fuzz target.)
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "peer_run.h"
#include "zip_writer_test_util.h"

namespace {

class AmbiguousEnd : public writertest::WriterTest {
 protected:
  /// Entries of "a.zip" as the unzip side reads it (-1 when it refuses it).
  int32_t unzip_count() {
    OstranaUnzipStateCreate();
    UNZIPCMDSTRUCT u;
    std::memset(&u, 0, sizeof u);
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_COUNT_ITEMS;
    u.lpszZIPFile = "a.zip";
    u.quietFlag = 1;
    u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    return OstranaUnzip(&u) == 0 ? u.returnCount : -1;
  }
};

TEST_F(AmbiguousEnd, SecondArchiveAppendedIsRefusedUntouchedAndRepairable) {
  put("one.txt", "one");
  put("two.txt", "two");
  ASSERT_EQ(0, zip(ZIP_ADD, "one.txt"));
  const auto first = bytes("a.zip");
  ::unlink("a.zip");
  ASSERT_EQ(0, zip(ZIP_ADD, "two.txt"));
  auto joined = first;
  const auto second = bytes("a.zip");
  joined.insert(joined.end(), second.begin(), second.end());
  testenv::write_file("a.zip", joined);

  put("new.txt", "new");
  for (int grow : {0, 1}) {
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "new.txt");
    cmd.growExistingFlag = grow;
    EXPECT_EQ(OZ_BAD_STRUCTURE, run(cmd)) << grow;
    EXPECT_EQ(joined, bytes("a.zip")) << grow;
    EXPECT_TRUE(temp_files().empty());
  }
  ZIPCMDSTRUCT fix = record(ZIP_ADD, "new.txt");
  fix.fixFlag = 1;
  ASSERT_EQ(0, run(fix));
  const auto repaired = names();
  EXPECT_EQ(static_cast<int32_t>(repaired.size()), unzip_count()) << "both sides read the same archive";
  EXPECT_NE(std::find(repaired.begin(), repaired.end(), "new.txt"), repaired.end());
}

TEST_F(AmbiguousEnd, AnOrdinaryArchiveWithTrailingBytesStillChanges) {
  put("one.txt", "one");
  ASSERT_EQ(0, zip(ZIP_ADD, "one.txt"));
  auto with_tail = bytes("a.zip");
  for (char c : std::string("trailing bytes without any signature")) with_tail.push_back(static_cast<uint8_t>(c));
  testenv::write_file("a.zip", with_tail);
  put("new.txt", "new");
  EXPECT_EQ(0, zip(ZIP_ADD, "new.txt"));
  EXPECT_EQ(2, unzip_count());
}

}  // namespace
