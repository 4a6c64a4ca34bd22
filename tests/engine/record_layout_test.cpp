/* tests/engine/record_layout_test.cpp - the command records' sizes on a 32-bit build.
 *
 * Risk: the public headers promise that a 32-bit build lays the records out
 * as 148/160/188/220/252 and 100/110/142/170/202 bytes (the sizes older
 * callers pass).  The headers hold static_asserts for it; this test makes a
 * 32-bit compiler check them (clang's i686 target, no 32-bit libraries
 * needed) in C and C++, and makes sure a wrong size would be caught.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "test_env.h"

namespace {

const char* kIncludeDir = OSTRANA_TEST_DATA "/../../src/engine/include";

int compile_32bit(const std::string& source, const std::string& language) {
  std::string dir = testenv::make_temp_dir("layout32");
  std::string file = dir + "/t." + (language == "c" ? "c" : "cpp");
  std::ofstream(file) << source;
  std::string compiler = language == "c" ? "clang" : "clang++";
  std::string cmd = compiler +
                    " --target=i686-linux-gnu -ffreestanding -nostdinc -nostdinc++ -isystem "
                    "\"$(clang -print-resource-dir)/include\" -fsyntax-only -I" +
                    kIncludeDir + " " + file + " >/dev/null 2>&1";
  return std::system(cmd.c_str());
}

}  // namespace

TEST(RecordLayout, ThirtyTwoBitSizes) {
  if (std::system("command -v clang >/dev/null 2>&1") != 0) GTEST_SKIP() << "clang is not installed";
  EXPECT_EQ(0, compile_32bit("#include \"ostrana.h\"\n", "c"));
  EXPECT_EQ(0, compile_32bit("#include \"ostrana.h\"\n", "c++"));
  // The check can fail: a record one field longer does not pass.
  EXPECT_NE(0, compile_32bit("#include \"ostrana.h\"\n_Static_assert(sizeof(UNZIPCMDSTRUCT) == 204, \"\");\n", "c"));
  EXPECT_NE(0, compile_32bit("#include \"ostrana.h\"\n_Static_assert(sizeof(ZIPCMDSTRUCT) == 256, \"\");\n", "c"));
}
