/* tests/platform/memory_probe_test.cpp - reading untrusted pointers without crashing.
 *
 * Risks: a probe that faults on an unmapped or protected page (the diagnostic
 * log exists for bad records), that reads past a string's NUL into the next,
 * unreadable page, or that reports a readable range as unreadable.
 */
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/memory_probe.h"

namespace {

class Pages : public ::testing::Test {
 protected:
  void SetUp() override {
    page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    base = static_cast<char*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, base);
    std::memset(base, 'r', 2 * page);
    ASSERT_EQ(0, mprotect(base + 2 * page, page, PROT_NONE));
  }
  void TearDown() override { munmap(base, 3 * page); }
  size_t page = 0;
  char* base = nullptr;
};

TEST_F(Pages, ReadableRangesAcrossPages) {
  EXPECT_TRUE(platform::is_readable(base, 2 * page));
  EXPECT_TRUE(platform::is_readable(base + page - 3, 10)) << "across a page boundary";
  EXPECT_FALSE(platform::is_readable(base + 2 * page - 1, 2)) << "one byte into the protected page";
  EXPECT_FALSE(platform::is_readable(base + 2 * page, 1));
  EXPECT_FALSE(platform::is_readable(nullptr, 1));
  EXPECT_TRUE(platform::is_readable(nullptr, 0));
  EXPECT_FALSE(platform::is_readable(reinterpret_cast<void*>(UINTPTR_MAX - 4), 16)) << "wraps around";
  char out[8];
  EXPECT_TRUE(platform::copy_readable(base + 2 * page - 8, 8, out));
  EXPECT_EQ(0, std::memcmp(out, "rrrrrrrr", 8));
}

TEST_F(Pages, StringsEndingAtTheEdge) {
  char* s = base + 2 * page - 6;
  std::memcpy(s, "edge!", 6);  // NUL is the last readable byte
  std::string out;
  EXPECT_TRUE(platform::copy_readable_string(s, 1000, &out));
  EXPECT_EQ("edge!", out);
  s[5] = 'x';  // no NUL before the protected page
  EXPECT_FALSE(platform::copy_readable_string(s, 1000, &out));
  EXPECT_EQ("edge!x", out) << "what could be read is kept";
  EXPECT_TRUE(platform::copy_readable_string(s, 3, &out)) << "the limit comes first";
  EXPECT_EQ("edg", out);
  EXPECT_FALSE(platform::copy_readable_string(base + 2 * page, 10, &out));
  EXPECT_FALSE(platform::copy_readable_string(nullptr, 10, &out));
  EXPECT_TRUE(platform::copy_readable_string(nullptr, 0, &out));
}

TEST_F(Pages, LongStringsSpanningManyPages) {
  std::string big(3 * 4096 + 17, 'b');
  std::string out;
  EXPECT_TRUE(platform::copy_readable_string(big.c_str(), big.size() + 5, &out));
  EXPECT_EQ(big, out);
}

}  // namespace
