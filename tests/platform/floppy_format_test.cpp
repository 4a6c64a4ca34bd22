/* tests/platform/floppy_format_test.cpp - FAT12 diskette formatting, checked by dosfstools and mtools.
 *
 * Risks: a parameter block that FAT readers reject or read as another size,
 * the lower density chosen for the wrong drive, FATs or root folder not
 * cleared, the label not visible, a format that does not stop when asked, and
 * something that is no diskette formatted all the same.  `fsck.fat -n` and
 * `mdir` judge the images (skipped where they are not installed).
 */
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "peer_run.h"
#include "platform/floppy_format.h"
#include "test_env.h"

namespace {

bool have(const char* tool) {
  std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

/// Runs @p command; @return its exit status, its output in *@p out.
int capture(const std::string& command, std::string* out) {
  out->clear();
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string make_image(const std::string& dir, const std::string& name, uint64_t nbytes, uint8_t fill) {
  std::string path = dir + "/" + name;
  testenv::write_file(path, std::vector<uint8_t>(nbytes, fill));
  return path;
}

struct Counter final : platform::FormatObserver {
  int tracks = 0;
  int last_cylinder = -1;
  int cancel_at = -1;
  bool initialized = false;
  int track(int, int, int last) override {
    last_cylinder = last;
    return ++tracks == cancel_at ? 1 : 0;
  }
  void initializing() override { initialized = true; }
};

void expect_dos_tools_accept(const std::string& image) {
  std::string out;
  if (have("fsck.fat")) {
    EXPECT_EQ(0, capture("fsck.fat -n " + testenv::shell_quote(image), &out)) << out;
  }
  if (have("mdir")) {
    EXPECT_EQ(0, capture("MTOOLS_SKIP_CHECK=1 mdir -i " + testenv::shell_quote(image) + " ::", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("Volume in drive : is OSTRANA_200")) << out;
    EXPECT_NE(std::string::npos, out.find("No files")) << out;
  }
}

}  // namespace

TEST(FloppyFormat, MediaTableAndLowerDensityOfEachDrive) {
  EXPECT_EQ(nullptr, platform::floppy_media_for(1000, false));
  EXPECT_EQ(nullptr, platform::floppy_media_for(1474560 + 512, false));
  struct Case {
    uint64_t drive;
    bool lower;
    uint16_t total_sectors;
  };
  const Case cases[] = {{368640, false, 720},   {368640, true, 720},     {737280, false, 1440},
                        {737280, true, 1440},   {1228800, false, 2400},  {1228800, true, 720},
                        {1474560, false, 2880}, {1474560, true, 1440},   {2949120, false, 5760},
                        {2949120, true, 2880}};
  for (const Case& c : cases) {
    const platform::FloppyMedia* m = platform::floppy_media_for(c.drive, c.lower);
    ASSERT_NE(nullptr, m) << c.drive;
    EXPECT_EQ(c.total_sectors, m->total_sectors) << c.drive << " " << c.lower;
  }
  EXPECT_EQ(1457664u, platform::floppy_media_for(1474560, false)->data_nbytes());
  EXPECT_EQ(80, platform::floppy_media_for(1474560, false)->cylinders());
}

TEST(FloppyFormat, BootSectorCarriesTheParameterBlockAndExtendedFields) {
  uint8_t s[512];
  platform::floppy_boot_sector(*platform::floppy_media_for(1474560, false), 0x12345678, s);
  EXPECT_EQ(0xEB, s[0]);
  EXPECT_EQ(512, s[0x0B] | s[0x0C] << 8);
  EXPECT_EQ(1, s[0x0D]);
  EXPECT_EQ(224, s[0x11] | s[0x12] << 8);
  EXPECT_EQ(2880, s[0x13] | s[0x14] << 8);
  EXPECT_EQ(0xF0, s[0x15]);
  EXPECT_EQ(9, s[0x16]);
  EXPECT_EQ(18, s[0x18]);
  EXPECT_EQ(2, s[0x1A]);
  EXPECT_EQ(0x29, s[0x26]);
  EXPECT_EQ(0x78, s[0x27]);
  EXPECT_EQ("OSTRANA_200", std::string(reinterpret_cast<char*>(s + 0x2B), 11));
  EXPECT_EQ("FAT12   ", std::string(reinterpret_cast<char*>(s + 0x36), 8));
  EXPECT_EQ(0x55, s[510]);
  EXPECT_EQ(0xAA, s[511]);
}

TEST(FloppyFormat, FormattedImagesPassFsckAndMdirShowsThemEmptyWithTheLabel) {
  const std::string dir = testenv::make_temp_dir("floppy");
  // Full of old bytes: the format must clear what FAT readers look at.
  const std::string hd = make_image(dir, "hd.img", 1474560, 0xE5);
  Counter counter;
  const platform::FloppyMedia* media = nullptr;
  ASSERT_EQ(0, platform::format_floppy(hd, false, &counter, &media));
  EXPECT_EQ(2880, media->total_sectors);
  EXPECT_EQ(160, counter.tracks);  // 80 cylinders, 2 heads
  EXPECT_EQ(79, counter.last_cylinder);
  EXPECT_TRUE(counter.initialized);
  expect_dos_tools_accept(hd);

  const std::string dd = make_image(dir, "dd.img", 737280, 0x5A);
  ASSERT_EQ(0, platform::format_floppy(dd, false, nullptr));
  expect_dos_tools_accept(dd);

  // A 1.44 MB drive at its lower density: a 720 KB file system.
  const std::string low = make_image(dir, "low.img", 1474560, 0x00);
  ASSERT_EQ(0, platform::format_floppy(low, true, nullptr, &media));
  EXPECT_EQ(1440, media->total_sectors);
  std::vector<uint8_t> b = testenv::read_file(low);
  EXPECT_EQ(1440, b[0x13] | b[0x14] << 8);
  EXPECT_EQ(0xF9, b[0x15]);
  expect_dos_tools_accept(low);
}

TEST(FloppyFormat, CancelStopsBetweenTracksAndOtherFilesAreNoDiskettes) {
  const std::string dir = testenv::make_temp_dir("floppy");
  const std::string img = make_image(dir, "a.img", 1474560, 0xE5);
  Counter counter;
  counter.cancel_at = 3;
  EXPECT_EQ(ECANCELED, platform::format_floppy(img, false, &counter));
  EXPECT_EQ(3, counter.tracks);
  EXPECT_FALSE(counter.initialized);

  const std::string odd = make_image(dir, "odd.img", 1474560 - 512, 0xE5);
  EXPECT_EQ(ENOTSUP, platform::format_floppy(odd, false, nullptr));
  EXPECT_EQ(std::vector<uint8_t>(1474560 - 512, 0xE5), testenv::read_file(odd));  // untouched
  EXPECT_EQ(ENOTSUP, platform::format_floppy(dir + "/missing.img", false, nullptr));
  EXPECT_NE(0, platform::format_floppy(dir, false, nullptr));  // a folder
}
