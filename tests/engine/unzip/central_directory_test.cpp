/* tests/engine/unzip/central_directory_test.cpp - loading and walking a directory.
 *
 * Risks: the iteration running past the last entry or skipping one; a count
 * that disagrees with the headers read being accepted; names shown in the
 * wrong code page; a directory kept for a file that changed; a local header
 * read at the wrong place; a directory spread over two volumes read only in
 * part.
 */
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/common/local_header.h"
#include "engine/unzip/central_directory.h"
#include "ostrana_results.h"
#include "platform/file.h"
#include "test_env.h"
#include "peer_run.h"
#include "zip_builder.h"

using namespace ostrana;
using testzip::Bytes;

namespace {

struct Loaded {
  Bytes bytes;
  MemoryArchiveInput input;
  CentralDirectory dir;
  DirectoryFailure failure = DirectoryFailure::kNone;
  int rc;
  explicit Loaded(Bytes b, DirectoryOptions options = {})
      : bytes(std::move(b)), input(bytes.data(), bytes.size()), rc(dir.load(input, options, &failure)) {}
};

}  // namespace

TEST(CentralDirectory, EmptyArchiveCountsZeroAndNextGivesTwo) {
  Loaded l(testzip::empty_archive());
  ASSERT_EQ(0, l.rc);
  EXPECT_TRUE(l.dir.loaded());
  EXPECT_EQ(0u, l.dir.count(false));
  EXPECT_EQ(0u, l.dir.count(true));
  DirectoryEntry e;
  EXPECT_EQ(OU_UNEXPECTED_EOF, l.dir.next(false, &e));
  EXPECT_EQ(OU_INDEX_OUT_OF_BOUNDS, l.dir.item(0, &e));
}

TEST(CentralDirectory, WalksInDirectoryOrderAndByNumber) {
  testzip::Archive a;
  for (const char* n : {"one.txt", "dir/", "dir/two.txt", "three.txt"}) a.entries.push_back(testzip::stored_entry(n));
  a.entries[1].data.clear();
  a.entries[1].external_attributes = 0x10;
  testzip::Layout layout;
  Loaded l(testzip::build_with_layout(a, &layout));
  ASSERT_EQ(0, l.rc);
  ASSERT_EQ(4u, l.dir.size());
  DirectoryEntry e;
  for (uint64_t i = 0; i < 4; ++i) {
    ASSERT_EQ(0, l.dir.next(false, &e));
    EXPECT_EQ(i, e.index);
    EXPECT_EQ(a.entries[i].name, e.name);
    EXPECT_EQ(layout.local_offsets[i], e.local_header_offset());
  }
  EXPECT_EQ(OU_UNEXPECTED_EOF, l.dir.next(false, &e));
  EXPECT_EQ(OU_UNEXPECTED_EOF, l.dir.next(false, &e));  // stays at the end
  ASSERT_EQ(0, l.dir.item(2, &e));
  EXPECT_EQ("dir/two.txt", e.name);
  EXPECT_EQ(3u, l.dir.position());  // the walk goes on after the item taken by number
  ASSERT_EQ(0, l.dir.next(false, &e));
  EXPECT_EQ("three.txt", e.name);
  EXPECT_EQ(OU_INDEX_OUT_OF_BOUNDS, l.dir.item(4, &e));
  EXPECT_EQ(0x10u, l.dir.entry(1, &e) == 0 ? e.header.external_attributes : 0);
}

TEST(CentralDirectory, ShortNamesOnly) {
  testzip::Archive a;
  for (const char* n : {"My Document.txt", "SHORT.TXT", "a long folder/", "X.C"}) a.entries.push_back(testzip::stored_entry(n));
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  EXPECT_EQ(4u, l.dir.count(false));
  EXPECT_EQ(2u, l.dir.count(true));
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.next(true, &e));
  EXPECT_EQ("SHORT.TXT", e.name);
  ASSERT_EQ(0, l.dir.next(true, &e));
  EXPECT_EQ("X.C", e.name);
  EXPECT_EQ(OU_UNEXPECTED_EOF, l.dir.next(true, &e));
  // By number a long name is still given (the caller decides what to say).
  ASSERT_EQ(0, l.dir.item(0, &e));
  EXPECT_EQ("My Document.txt", e.name);
}

TEST(CentralDirectory, NamesAreConvertedFromCp437UnlessMarkedOrAsked) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("caf\x82.txt"));  // CP437 é
  a.entries.push_back(testzip::stored_entry("\xD1\x82.txt"));
  a.entries.back().flags = 0x0800;  // UTF-8 name
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.entry(0, &e));
  EXPECT_EQ("caf\xC3\xA9.txt", e.name);
  EXPECT_EQ("caf\x82.txt", e.raw_name);
  ASSERT_EQ(0, l.dir.entry(1, &e));
  EXPECT_EQ("\xD1\x82.txt", e.name);
  EXPECT_EQ(e.raw_name, e.name);

  DirectoryOptions as_is;
  as_is.names_in_engine_code_page = true;
  Loaded raw(a.build(), as_is);
  ASSERT_EQ(0, raw.rc);
  ASSERT_EQ(0, raw.dir.entry(0, &e));
  EXPECT_EQ("caf\x82.txt", e.name);
}

TEST(CentralDirectory, HostSystemTwoHasItsAttributesCleared) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("os2.txt"));
  a.entries.back().version_made_by = 0x0214;
  a.entries.back().external_attributes = 0x21;
  a.entries.push_back(testzip::stored_entry("unix.txt"));
  a.entries.back().version_made_by = 0x0314;
  a.entries.back().external_attributes = 0x81A40020;
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.entry(0, &e));
  EXPECT_EQ(0u, e.header.external_attributes);
  ASSERT_EQ(0, l.dir.entry(1, &e));
  EXPECT_EQ(0x81A40020u, e.header.external_attributes);
}

TEST(CentralDirectory, FewerHeadersThanAnnouncedFailTheLoad) {
  testzip::Archive a;
  for (const char* n : {"a", "b", "c"}) a.entries.push_back(testzip::stored_entry(n));
  testzip::Layout layout;
  Bytes b = testzip::build_with_layout(a, &layout);
  // Damage the second header's signature: the read ends after one header.
  b[layout.directory_offset + 46 + 1 + 0] = 'X';
  Loaded l(b);
  EXPECT_EQ(OU_BAD_STRUCTURE, l.rc);
  EXPECT_EQ(DirectoryFailure::kCountMismatch, l.failure);
  EXPECT_FALSE(l.dir.loaded());
  EXPECT_EQ(0u, l.dir.size());
  // More headers than announced: reading stops at the announced count.
  testzip::Archive fewer = a;
  fewer.end.entries_total = 2;
  fewer.end.entries_this_disk = 2;
  Loaded f(fewer.build());
  ASSERT_EQ(0, f.rc);
  EXPECT_EQ(2u, f.dir.size());
  // A name that runs past the end of the file ends the read too.
  Bytes cut = testzip::build_with_layout(a, &layout);
  cut[layout.directory_offset + 28] = 0xFF;  // first name length: 65,535
  cut[layout.directory_offset + 29] = 0xFF;
  Loaded c(cut);
  EXPECT_EQ(OU_BAD_STRUCTURE, c.rc);
}

TEST(CentralDirectory, AbsurdCountsAreRefusedBeforeAllocation) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("a"));
  a.zip64_end = true;
  a.zip64.entries_total = 1ull << 60;
  a.zip64.entries_this_disk = 1ull << 60;
  Loaded l(a.build());
  EXPECT_EQ(OU_BAD_STRUCTURE, l.rc);
  EXPECT_EQ(DirectoryFailure::kBadEnd, l.failure);
  testzip::Archive huge = a;
  huge.zip64.entries_total = 1;
  huge.zip64.entries_this_disk = 1;
  huge.zip64.directory_offset = 1ull << 62;  // beyond the file
  Loaded h(huge.build());
  EXPECT_EQ(OU_BAD_STRUCTURE, h.rc);
  Loaded none(Bytes(5000, 0));
  EXPECT_EQ(OU_BAD_STRUCTURE, none.rc);
  EXPECT_EQ(DirectoryFailure::kEndNotFound, none.failure);
}

TEST(CentralDirectory, OversizedExtraBlockRefusesOnlyThatEntry) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("good1"));
  a.entries.push_back(testzip::stored_entry("bad"));
  a.entries.back().central_extra = testzip::zip64_extra({1, 2, 3, 4}, 29);  // 33 bytes
  a.entries.push_back(testzip::stored_entry("good2"));
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.next(false, &e));
  EXPECT_EQ(OU_BAD_STRUCTURE, l.dir.next(false, &e));
  ASSERT_EQ(0, l.dir.next(false, &e));
  EXPECT_EQ("good2", e.name);
}

TEST(CentralDirectory, Zip64EntriesTakeTheirValuesFromTheBlock) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("big", "payload"));
  a.entries.back().zip64 = true;
  a.entries.back().uncompressed_size = 0x123456789ull;
  a.zip64_end = true;
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.entry(0, &e));
  EXPECT_TRUE(e.extras.has_zip64_block);
  EXPECT_EQ(0x123456789ull, e.uncompressed_size());
  EXPECT_EQ(7u, e.compressed_size());
  EXPECT_EQ(0u, e.local_header_offset());
}

TEST(CentralDirectory, PreambleMovesTheLocalOffsets) {
  testzip::Archive a;
  a.preamble.assign(300, 'S');
  a.offsets_exclude_preamble = true;
  a.entries.push_back(testzip::stored_entry("a", "abc"));
  Loaded l(a.build());
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  ASSERT_EQ(0, l.dir.entry(0, &e));
  EXPECT_EQ(300u, e.local_header_offset());
  LocalEntry le;
  ASSERT_EQ(0, read_local_header(l.input, e.local_header_offset(), e.raw_name, &le));
  EXPECT_EQ(300u + 30 + 1, le.data_offset);
}

TEST(CentralDirectory, GuardComparesPathIgnoringCaseFileStateAndOptions) {
  Loaded l(testzip::empty_archive());
  ASSERT_EQ(0, l.rc);
  platform::FileInfo file;
  file.mtime = 123;
  file.size = 22;
  file.device = 1;
  file.inode = 99;
  l.dir.set_identity("/tmp/Archive.ZIP", file);
  DirectoryOptions opts;
  EXPECT_TRUE(l.dir.is_current("/tmp/archive.zip", file, opts));
  EXPECT_FALSE(l.dir.is_current("/tmp/other.zip", file, opts));
  platform::FileInfo touched = file;
  touched.mtime += 1;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", touched, opts));
  platform::FileInfo grown = file;
  grown.size += 1;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", grown, opts));
  platform::FileInfo replaced = file;  // another file renamed over the path
  replaced.inode = 100;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", replaced, opts));
  platform::FileInfo rewritten = file;  // written again within the same second
  rewritten.mtime_nsec += 1;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", rewritten, opts));
  platform::FileInfo reused = file;  // a new file that got the freed inode
  reused.change_nsec += 1;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", reused, opts));
  DirectoryOptions raw;
  raw.names_in_engine_code_page = true;
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", file, raw));
  l.dir.clear();
  EXPECT_FALSE(l.dir.is_current("/tmp/archive.zip", file, opts));
}

TEST(CentralDirectory, ReadsAFileAndNoticesItsReplacement) {
  std::string dir = testenv::make_temp_dir("central");
  std::string path = dir + "/a.zip";
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("first.txt"));
  testenv::write_file(path, a.build());
  platform::File f;
  ASSERT_EQ(0, f.open(path, platform::File::Mode::kRead));
  FileArchiveInput in(f);
  CentralDirectory d;
  ASSERT_EQ(0, d.load(in, {}));
  EXPECT_EQ(1u, d.size());
  platform::FileInfo before, after;
  ASSERT_EQ(0, platform::file_info(path, &before));
  d.set_identity(path, before);
  ASSERT_EQ(0, platform::file_info(path, &after));
  EXPECT_TRUE(d.is_current(path, after, {}));
  // A new archive renamed over the old one, as the writer replaces archives.
  a.entries.push_back(testzip::stored_entry("second.txt"));
  testenv::write_file(path + ".tmp", a.build());
  ASSERT_EQ(0, platform::rename_path(path + ".tmp", path));
  ASSERT_EQ(0, platform::file_info(path, &after));
  EXPECT_FALSE(d.is_current(path, after, {}));
}

TEST(CentralDirectory, DirectorySpreadOverTwoVolumes) {
  testzip::Archive a;
  for (const char* n : {"v1.txt", "v2.txt", "v3.txt"}) a.entries.push_back(testzip::stored_entry(n));
  testzip::Layout layout;
  Bytes whole = testzip::build_with_layout(a, &layout);
  // Volume 0: everything up to the middle of the second central header;
  // volume 1: the rest, with an end record naming disk 1 as this disk, the
  // directory starting on disk 0.
  size_t cut = layout.directory_offset + 46 + 6 + 20;
  Bytes v0(whole.begin(), whole.begin() + cut);
  Bytes v1(whole.begin() + cut, whole.end());
  size_t end_in_v1 = layout.end_offset - cut;
  v1[end_in_v1 + 4] = 1;  // number of this disk
  v1[end_in_v1 + 8] = 1;  // entries on this disk (differs from the total)
  const uint8_t* vols[] = {v0.data(), v1.data()};
  size_t sizes[] = {v0.size(), v1.size()};
  MemoryArchiveInput in(vols, sizes, 2);
  CentralDirectory d;
  DirectoryFailure why;
  ASSERT_EQ(0, d.load(in, {}, &why));
  EXPECT_TRUE(d.end().multi_volume());
  EXPECT_EQ(3u, d.size());
  EXPECT_EQ("v2.txt", d.name(1));
  EXPECT_EQ(2u, in.volume_changes());  // to disk 0 for the start, then on to disk 1

  // The default single-file input cannot give another volume.
  Bytes alone = v1;
  MemoryArchiveInput single(alone.data(), alone.size());
  EXPECT_EQ(OU_MULTIDISK_UNSUPPORTED, d.load(single, {}, &why));
  EXPECT_EQ(DirectoryFailure::kVolume, why);
}

TEST(LocalHeader, ReadsWhereTheDataStartsAndTheRealMethod) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("plain.txt", "hello"));
  a.entries.push_back(testzip::stored_entry("secret.bin", "0123456789"));
  a.entries.back().method = 99;
  a.entries.back().flags = 1;
  a.entries.back().local_extra = testzip::aes_extra(2, 3, 8);
  a.entries.back().central_extra = testzip::aes_extra(2, 3, 8);
  a.entries.push_back(testzip::stored_entry("other.txt"));
  a.entries.back().local_name = "OTHER.TXT";
  testzip::Layout layout;
  Loaded l(testzip::build_with_layout(a, &layout));
  ASSERT_EQ(0, l.rc);
  DirectoryEntry e;
  LocalEntry le;
  ASSERT_EQ(0, l.dir.entry(0, &e));
  ASSERT_EQ(0, read_local_header(l.input, e.local_header_offset(), e.raw_name, &le));
  EXPECT_EQ(layout.local_offsets[0] + 30 + 9, le.data_offset);
  EXPECT_TRUE(le.name_matches);
  EXPECT_EQ(0, le.method);
  ASSERT_EQ(0, l.dir.entry(1, &e));
  EXPECT_EQ(8, e.method);
  ASSERT_EQ(0, read_local_header(l.input, e.local_header_offset(), e.raw_name, &le));
  EXPECT_EQ(8, le.method);
  EXPECT_EQ(99, le.header.method);
  EXPECT_EQ(layout.local_offsets[1] + 30 + 10 + 11, le.data_offset);
  ASSERT_EQ(0, l.dir.entry(2, &e));
  ASSERT_EQ(0, read_local_header(l.input, e.local_header_offset(), e.raw_name, &le));
  EXPECT_TRUE(le.name_matches);  // ignoring case
  ASSERT_EQ(0, read_local_header(l.input, e.local_header_offset(), "another", &le));
  EXPECT_FALSE(le.name_matches);

  // Not a local header there, or beyond the file: refused.
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(l.input, layout.local_offsets[0] + 1, "x", &le));
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(l.input, 1ull << 40, "x", &le));
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(l.input, l.bytes.size() - 10, "x", &le));
}

TEST(LocalHeader, OversizedLocalBlocksAndCutExtraFields) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("aes"));
  a.entries.back().local_extra = testzip::extra_block(0x9901, Bytes(8, 1));  // 12 bytes
  a.entries.push_back(testzip::stored_entry("z64"));
  a.entries.back().local_extra = testzip::zip64_extra({1, 2}, 29);  // 33 bytes
  testzip::Layout layout;
  Loaded l(testzip::build_with_layout(a, &layout));
  ASSERT_EQ(0, l.rc);
  LocalEntry le;
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(l.input, layout.local_offsets[0], "aes", &le));
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(l.input, layout.local_offsets[1], "z64", &le));
  // A name and extra field that run past the end of the file.
  Bytes cut = l.bytes;
  cut[layout.local_offsets[0] + 28] = 0xFF;
  cut[layout.local_offsets[0] + 29] = 0xFF;
  MemoryArchiveInput in(cut.data(), cut.size());
  EXPECT_EQ(OU_BAD_STRUCTURE, read_local_header(in, layout.local_offsets[0], "aes", &le));
}
