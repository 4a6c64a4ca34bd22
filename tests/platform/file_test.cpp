/* tests/platform/file_test.cpp - the file layer and its injected failures.
 *
 * Risk: a short write reported as success, or an injected failure that does not
 * reach the caller - then every fault test built on it proves nothing.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "test_env.h"

using platform::File;
namespace faults = platform::faults;

TEST(PlatformFile, WriteReadPositionedAndSize) {
  std::string dir = testenv::make_temp_dir("file");
  File f;
  ASSERT_EQ(0, f.open(dir + "/a.bin", File::Mode::kCreate));
  std::vector<uint8_t> data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(0, f.write(data.data(), data.size()));
  EXPECT_EQ(70000, f.size());
  ASSERT_EQ(0, f.write_at(10, "XY", 2));
  uint8_t two[2];
  ASSERT_EQ(2, f.read_at(10, two, 2));
  EXPECT_EQ('X', two[0]);
  ASSERT_EQ(0, f.seek(69990));
  uint8_t tail[64];
  EXPECT_EQ(10, f.read_full(tail, sizeof tail));  // short at the end, not an error
  EXPECT_EQ(0, f.read(tail, sizeof tail));
  EXPECT_EQ(0, f.close());
  EXPECT_FALSE(f.is_open());
}

TEST(PlatformFile, OpenRefusals) {
  std::string dir = testenv::make_temp_dir("file");
  File f;
  EXPECT_EQ(ENOENT, f.open(dir + "/missing", File::Mode::kRead));
  EXPECT_EQ(EISDIR, f.open(dir, File::Mode::kRead));
  ASSERT_EQ(0, f.open(dir + "/x", File::Mode::kCreateExclusive));
  f.close();
  EXPECT_EQ(EEXIST, f.open(dir + "/x", File::Mode::kCreateExclusive));
}

TEST(PlatformFile, InjectedFailuresReachTheCaller) {
  std::string dir = testenv::make_temp_dir("file");
  File f;
  faults::arm(faults::Op::kWrite, 2, ENOSPC);
  ASSERT_EQ(0, f.open(dir + "/y", File::Mode::kCreate));
  EXPECT_EQ(0, f.write("a", 1));
  EXPECT_EQ(ENOSPC, f.write("b", 1));
  EXPECT_TRUE(faults::fired());
  EXPECT_EQ(0, f.write("c", 1));  // fires once only
  faults::arm(faults::Op::kAny, 1, EIO);
  EXPECT_EQ(EIO, platform::rename_path(dir + "/y", dir + "/z"));
  faults::disarm();
  EXPECT_EQ(0, platform::rename_path(dir + "/y", dir + "/z"));
  EXPECT_EQ(0, f.close());
}
