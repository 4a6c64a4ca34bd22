/* tests/engine/unzip/peer_archives_test.cpp - archives the other tools made.
 *
 * Risk: a reader that passes its own byte-built cases but misreads what real
 * writers produce (7-Zip's AES items, Python's forced Zip64 and data
 * descriptors, libarchive's layout, third-party samples with preambles, long
 * comments and UTF-8 names).  Each archive is listed by Python's zipfile and by
 * the directory reader; names, sizes, CRCs, methods, dates, flags and the
 * archive comment must agree.  A missing peer tool skips the whole test that
 * needs it, before anything is made (a fixture's SetUp or the test's first
 * line); the helpers themselves only assert.
 */
#include <cstdio>
#include <ctime>
#include <gtest/gtest.h>

#include "engine/unzip/central_directory.h"
#include "engine/unzip/item_info.h"
#include "peer_tools.h"
#include "platform/file.h"
#include "test_env.h"
#include "zip_builder.h"

using namespace ostrana;
using testenv::have_tool;
using testenv::PeerMember;
using testenv::run_command;
using testenv::shell_quote;

namespace {

/// Lists @p path with the engine and with Python, and compares member by member.
/// The caller's test has made sure that python3 is there.
void expect_same_listing(const std::string& path, size_t expected_members) {
  SCOPED_TRACE(path);
  std::vector<PeerMember> peer;
  std::string peer_comment;
  ASSERT_TRUE(testenv::python_zip_listing(path, &peer, &peer_comment));
  ASSERT_EQ(expected_members, peer.size());

  platform::File f;
  ASSERT_EQ(0, f.open(path, platform::File::Mode::kRead));
  FileArchiveInput in(f);
  CentralDirectory dir;
  ASSERT_EQ(0, dir.load(in, {}));
  ASSERT_EQ(peer.size(), dir.count(false));
  for (const PeerMember& m : peer) {
    DirectoryEntry e;
    ASSERT_EQ(0, dir.next(false, &e));
    pZipInfoEx x;
    fill_zipinfoex(e, false, &x);
    SCOPED_TRACE(m.name);
    EXPECT_EQ(m.name, x.szFileName);
    EXPECT_EQ(m.file_size, +x.qwUncompressedSize);
    EXPECT_EQ(m.compress_size, +x.qwCompressedSize);
    EXPECT_EQ(m.crc, +x.dwCRC32);
    EXPECT_EQ(m.method, +x.wMethod);
    if (e.extras.has_mtime) {
      // A UTC time (0x5455, 0x000A) wins over the DOS date-time, which has no zone.
      char text[80];  // room for any int the fields could hold
      struct tm tm {};
      const time_t t = static_cast<time_t>(e.extras.mtime);
      localtime_r(&t, &tm);
      std::snprintf(text, sizeof text, "%02d/%02d/%04d  %02d:%02d:%02d", tm.tm_mon + 1, tm.tm_mday,
                    tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec / 2 * 2);
      EXPECT_EQ(std::string(text), x.szDate);
    } else {
      EXPECT_EQ(m.date, x.szDate);
    }
    EXPECT_EQ(m.flags, static_cast<uint16_t>(+x.wFlags));
  }
  DirectoryEntry e;
  EXPECT_EQ(OU_UNEXPECTED_EOF, dir.next(false, &e));
  std::vector<uint8_t> comment;
  ASSERT_EQ(0, read_comment(in, &comment));
  EXPECT_EQ(peer_comment, std::string(comment.begin(), comment.end()));
}

/// Tests that compare with Python's listing: skipped whole without python3.
class PythonListing : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_tool("python3")) GTEST_SKIP() << "python3 missing";
  }
};

/// Archives the peers make here from a small source tree.
class PeerArchives : public PythonListing {
 protected:
  void SetUp() override {
    PythonListing::SetUp();
    if (IsSkipped()) return;
    m_dir = testenv::make_temp_dir("peers");
    m_src = m_dir + "/src";
    ASSERT_EQ(0, run_command("mkdir -p " + shell_quote(m_src + "/sub")));
    testenv::write_file(m_src + "/hello.txt", testzip::Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    testzip::Bytes text;
    for (int i = 0; i < 2000; ++i) text.push_back(static_cast<uint8_t>("lorem ipsum dolor "[i % 18]));
    testenv::write_file(m_src + "/sub/lorem.txt", text);
    testenv::write_file(m_src + "/My Document.txt", testzip::Bytes{'x'});
  }

  /// Runs a 7-Zip command in the source folder, making @p archive.
  void seven_zip(const std::string& archive, const std::string& options) {
    ASSERT_EQ(0, run_command("cd " + shell_quote(m_src) + " && 7zz a -tzip " + options + " " + shell_quote(archive) +
                             " hello.txt sub 'My Document.txt' >/dev/null"));
  }

  void python(const std::string& script) {
    ASSERT_EQ(0, run_command("cd " + shell_quote(m_dir) + " && python3 -c " + shell_quote(script)));
  }

  std::string m_dir, m_src;
};

/// The archives that 7-Zip makes: skipped whole without 7zz.
class SevenZipArchives : public PeerArchives {
 protected:
  void SetUp() override {
    if (!have_tool("7zz")) GTEST_SKIP() << "7zz missing";
    PeerArchives::SetUp();
  }
};

}  // namespace

TEST_F(SevenZipArchives, StoreDeflateDeflate64) {
  for (const char* options : {"-mx=0", "-mx=9", "-mm=Deflate64"}) {
    SCOPED_TRACE(options);
    ASSERT_NO_FATAL_FAILURE(seven_zip(m_dir + "/made.zip", options));
    expect_same_listing(m_dir + "/made.zip", 4);
    ASSERT_EQ(0, std::remove((m_dir + "/made.zip").c_str()));
  }
}

TEST_F(SevenZipArchives, Aes256AndZipCrypto) {
  ASSERT_NO_FATAL_FAILURE(seven_zip(m_dir + "/aes.zip", "-psecret -mem=AES256"));
  expect_same_listing(m_dir + "/aes.zip", 4);
  platform::File f;
  ASSERT_EQ(0, f.open(m_dir + "/aes.zip", platform::File::Mode::kRead));
  FileArchiveInput in(f);
  CentralDirectory dir;
  ASSERT_EQ(0, dir.load(in, {}));
  DirectoryEntry e;
  ASSERT_EQ(0, dir.item(0, &e));  // hello.txt
  EXPECT_EQ(99, e.header.method);
  int32_t cls = encryption_class(e);
  EXPECT_EQ(3, cls & 0xFF);  // 256 bits
  EXPECT_TRUE((cls >> 8) == 1 || (cls >> 8) == 2) << std::hex << cls;  // AE-1 or AE-2
  EXPECT_NE(99, e.method);

  ASSERT_NO_FATAL_FAILURE(seven_zip(m_dir + "/zipcrypto.zip", "-psecret -mem=ZipCrypto"));
  expect_same_listing(m_dir + "/zipcrypto.zip", 4);
}

TEST_F(PeerArchives, PythonForcedZip64AndDataDescriptors) {
  ASSERT_NO_FATAL_FAILURE(python(R"PY(
import io, zipfile
with zipfile.ZipFile("zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("forced.txt", "w", force_zip64=True) as f:
        f.write(b"zip64 " * 500)
    z.writestr("plain.txt", b"plain")
    z.comment = b"python comment"
buf = io.BytesIO()
class Stream(io.RawIOBase):
    def writable(self): return True
    def write(self, b): return buf.write(b)
with zipfile.ZipFile(Stream(), "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(30):
        z.writestr("dd/%02d.txt" % i, b"descriptor " * i)
open("descriptors.zip", "wb").write(buf.getvalue())
with zipfile.ZipFile("names.zip", "w") as z:
    z.writestr("\u0442\u0435\u0441\u0442.txt", b"utf-8")
    z.writestr(zipfile.ZipInfo("caf\u00e9.txt", (1999, 12, 31, 23, 59, 58)), b"cp437")
)PY"));
  expect_same_listing(m_dir + "/zip64.zip", 2);
  expect_same_listing(m_dir + "/descriptors.zip", 30);
  expect_same_listing(m_dir + "/names.zip", 2);
}

TEST_F(PeerArchives, PythonSeventyThousandEntries) {
  ASSERT_NO_FATAL_FAILURE(python(R"PY(
import zipfile
with zipfile.ZipFile("many.zip", "w") as z:
    for i in range(70000):
        z.writestr("f%05d" % i, b"")
)PY"));
  platform::File f;
  ASSERT_EQ(0, f.open(m_dir + "/many.zip", platform::File::Mode::kRead));
  FileArchiveInput in(f);
  CentralDirectory dir;
  ASSERT_EQ(0, dir.load(in, {}));
  EXPECT_TRUE(dir.end().zip64);
  EXPECT_EQ(70000u, dir.count(false));
  EXPECT_EQ(0xFFFF, dir.end().record.entries_total);
  DirectoryEntry e;
  ASSERT_EQ(0, dir.item(69999, &e));
  EXPECT_EQ("f69999", e.name);
}

TEST_F(PeerArchives, Bsdtar) {
  if (!have_tool("bsdtar")) GTEST_SKIP() << "bsdtar missing";
  ASSERT_EQ(0, run_command("cd " + shell_quote(m_src) + " && bsdtar -a -cf ../bsdtar.zip hello.txt sub"));
  expect_same_listing(m_dir + "/bsdtar.zip", 3);
}

using PeerFixtures = PythonListing;

TEST_F(PeerFixtures, ThirdPartySamples) {
  const struct {
    const char* file;
    size_t members;
  } samples[] = {
      {"libarchive/zip64a.zip", 1},
      {"libarchive/encryption_data.zip", 2},
      {"sharpcompress/PrePostHeaders.zip", 4},
      {"sharpcompress/Zip.LongComment.zip", 1},
      {"sharpcompress/Zip.none.datadescriptors.zip", 2},
      {"sharpcompress/Zip.zip64.zip", 3},
      {"zip2/data_descriptor.zip", 1},
      {"zip2/aes_archive.zip", 4},
  };
  for (const auto& s : samples) expect_same_listing(std::string(OSTRANA_FIXTURES) + "/" + s.file, s.members);
}

TEST(FixtureEncryption, ClassesOfRealArchives) {
  auto first_class = [](const std::string& file, uint64_t index) {
    platform::File f;
    EXPECT_EQ(0, f.open(std::string(OSTRANA_FIXTURES) + "/" + file, platform::File::Mode::kRead));
    FileArchiveInput in(f);
    CentralDirectory dir;
    EXPECT_EQ(0, dir.load(in, {}));
    DirectoryEntry e;
    EXPECT_EQ(0, dir.entry(index, &e));
    return encryption_class(e);
  };
  EXPECT_EQ(0x803, first_class("libarchive/encryption_data.zip", 0));  // strong encryption, AES-256
  EXPECT_EQ(0x201, first_class("zip2/aes_archive.zip", 0));           // AE-2, 128 bits
  EXPECT_EQ(0x203, first_class("zip2/aes_archive.zip", 2));
}
