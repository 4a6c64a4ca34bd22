/* tests/engine/unzip/deflate64_7zip_test.cpp - Deflate64 members made by 7-Zip.
 *
 * Risk: Deflate64's extensions (the 64 KiB window, distance codes 30 and 31,
 * length code 285 with 16 extra bits) read wrongly, or a plain-deflate
 * reading of them slipping through.  7-Zip compresses inputs built to need
 * them - repeats farther back than 32 KiB and runs far longer than 258 bytes
 * - at three levels; every member must expand to its input with the CRC-32
 * 7-Zip stored.  The same members read as method 8 must fail for the inputs
 * that use the extensions, which shows the test reaches them.
 */
#include <gtest/gtest.h>

#include <map>

#include "engine/unzip/expand.h"
#include "expander_test_support.h"
#include "test_env.h"

using namespace ostrana;
using namespace exptest;

namespace {

const char kMakeInputs[] = R"PY(
import random, sys
out = sys.argv[1]
r = random.Random(64)
block = bytes(r.getrandbits(8) for _ in range(50000))
text = ' '.join(''.join(r.choice('etaoinshrdlu') for _ in range(r.randint(2, 8))) for _ in range(30000)).encode()
open(out + '/far.bin', 'wb').write(block + text[:10000] + block + text[10000:20000] + block[::-1] + block[::-1])
open(out + '/runs.bin', 'wb').write(bytes(200000) + b'x' * 70000 + bytes(r.getrandbits(8) for _ in range(300)) * 400)
open(out + '/text.txt', 'wb').write(text)
open(out + '/noise.bin', 'wb').write(bytes(r.getrandbits(8) for _ in range(80000)))
open(out + '/empty.bin', 'wb').write(b'')
)PY";

TEST(Deflate64SevenZip, MembersExpandToTheirInputsAndCrc) {
  const std::string dir = testenv::make_temp_dir("d64-7z");
  ASSERT_TRUE(run_python_in(dir, kMakeInputs, {dir}));
  const char* const names[] = {"far.bin", "runs.bin", "text.txt", "noise.bin", "empty.bin"};
  std::map<std::string, std::vector<uint8_t>> inputs;
  for (const char* n : names) inputs[n] = testenv::read_file(dir + "/" + n);

  size_t deflate64_members = 0;
  size_t needs_extensions = 0;
  for (const char* level : {"-mx=1", "-mx=5", "-mx=9"}) {
    SCOPED_TRACE(level);
    const std::string zip = dir + "/d64" + level + ".zip";
    std::string cmd = "cd " + testenv::shell_quote(dir) + " && 7zz a -tzip -mm=Deflate64 " + level + " " + testenv::shell_quote(zip);
    for (const char* n : names) cmd += std::string(" ") + n;
    ASSERT_EQ(0, testenv::run_command(cmd + " >/dev/null"));
    const std::vector<uint8_t> archive = testenv::read_file(zip);
    for (const testenv::WalkedItem& m : testenv::walk_zip(archive)) {
      SCOPED_TRACE(m.name);
      ASSERT_TRUE(inputs.count(m.name));
      const std::vector<uint8_t>& expected = inputs[m.name];
      ASSERT_EQ(expected.size(), m.uncompressed_size);
      const std::vector<uint8_t> data = member_data(archive, m);
      ExpandOutcome o = expand(m.method, data, m.uncompressed_size);
      ASSERT_EQ(kExpandOk, o.rc);
      ASSERT_EQ(expected, o.out);
      EXPECT_EQ(m.crc32, reference_crc32(o.out));
      if (m.method != zip::kMethodDeflate64) continue;  // 7-Zip stores what does not shrink
      ++deflate64_members;
      ExpandOutcome small = expand(m.method, data, m.uncompressed_size, ExpandMode::kToMemory, 0, 5);
      ASSERT_EQ(kExpandOk, small.rc);
      ASSERT_EQ(expected, small.out);
      ExpandOutcome as_deflate = expand(zip::kMethodDeflate, data, m.uncompressed_size);
      if (as_deflate.rc != kExpandOk || as_deflate.out != expected) ++needs_extensions;
    }
  }
  EXPECT_GE(deflate64_members, 9u);  // far, runs and text at three levels
  // far.bin repeats 50 KB blocks and runs.bin has runs of 200,000 bytes: at
  // every level they need what plain deflate cannot say.
  EXPECT_GE(needs_extensions, 6u);
}

}  // namespace
