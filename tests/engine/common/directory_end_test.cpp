/* tests/engine/common/directory_end_test.cpp - finding the end of the directory.
 *
 * Risks: an archive with the longest comment is declared "not a ZIP file"; a
 * comment or a stray signature redirects the search; a saturated end record
 * sends the reader to a bogus Zip64 record; a directory that claims millions of
 * entries or lies beyond the file gets memory allocated before it is refused;
 * the first volume of a split set is taken for a damaged archive.
 */
#include <gtest/gtest.h>

#include "engine/common/directory_end.h"
#include "ostrana_results.h"
#include "zip_builder.h"

using namespace ostrana;
using testzip::Bytes;

namespace {

int locate(const Bytes& b, DirectoryEnd* end, EndSearchVerdict* verdict, bool buffered = false) {
  MemoryArchiveInput in(b.data(), b.size());
  in.set_scans_for_last_volume(buffered);
  int rc = locate_directory_end(in, end, verdict);
  if (rc == 0 && *verdict == EndSearchVerdict::kFound) rc = check_directory_position(in, end);
  return rc;
}

}  // namespace

TEST(DirectoryEnd, EmptyArchiveOfTwentyTwoBytes) {
  Bytes b = testzip::empty_archive();
  ASSERT_EQ(22u, b.size());
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_EQ(EndSearchVerdict::kFound, v);
  EXPECT_EQ(0u, end.end_record_offset);
  EXPECT_EQ(0u, end.entries_total);
  EXPECT_FALSE(end.zip64);
}

TEST(DirectoryEnd, TooShortOrNoSignatureIsNotAZipArchive) {
  DirectoryEnd end;
  EndSearchVerdict v;
  Bytes b = testzip::empty_archive();
  b.pop_back();  // 21 bytes cannot hold an end record
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(b, &end, &v));
  Bytes text(1000, 'x');
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(text, &end, &v));
  // "PK\5\6" in the last 21 bytes is comment text, not a record.
  Bytes tail(100, 'x');
  tail[90] = 'P', tail[91] = 'K', tail[92] = 5, tail[93] = 6;
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(tail, &end, &v));
}

TEST(DirectoryEnd, LongestCommentIsFoundAndOneByteFurtherIsNot) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("a.txt", "alpha"));
  a.comment.assign(65535, 'c');
  Bytes b = a.build();
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_EQ(65535, end.comment_nbytes);
  EXPECT_EQ(65535, end.comment_avail);
  EXPECT_EQ(b.size() - 65535 - 22, end.end_record_offset);
  MemoryArchiveInput in(b.data(), b.size());
  std::vector<uint8_t> comment;
  ASSERT_EQ(0, read_archive_comment(in, end, &comment));
  EXPECT_EQ(std::vector<uint8_t>(65535, 'c'), comment);

  // 65,535 comment bytes plus 23 more behind: the record starts 65,580 bytes
  // from the end, outside the window.
  testzip::Archive far = a;
  far.trailing.assign(23, 't');
  Bytes fb = far.build();
  EXPECT_EQ(65580u, fb.size() - (b.size() - 65535 - 22));
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(fb, &end, &v));
  // 22 trailing bytes put it at exactly 65,579: still found.
  far.trailing.assign(22, 't');
  Bytes edge = far.build();
  ASSERT_EQ(0, locate(edge, &end, &v));
  EXPECT_EQ(EndSearchVerdict::kFound, v);
}

TEST(DirectoryEnd, CommentLongerThanTheFileIsCut) {
  testzip::Archive a;
  a.comment = "short";
  a.end.comment_nbytes = 400;
  Bytes b = a.build();
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_EQ(400, end.comment_nbytes);
  EXPECT_EQ(5, end.comment_avail);
}

TEST(DirectoryEnd, HeaderSignatureNearerTheEndMeansNotTheLastVolume) {
  // The first volume of a split set: local headers and data, no end record.
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("part.txt", std::string(200, 'd')));
  Bytes whole = a.build();
  Bytes first(whole.begin(), whole.begin() + 100);  // a local header, no directory
  DirectoryEnd end;
  EndSearchVerdict v = EndSearchVerdict::kFound;
  ASSERT_EQ(0, locate(first, &end, &v, /*buffered=*/true));
  EXPECT_EQ(EndSearchVerdict::kNotLastVolume, v);
  // Read one byte at a time (fixed media), only the end signature counts.
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(first, &end, &v, false));

  // A central header after the end record wins in the buffered scan too.
  Bytes tail = whole;
  const uint8_t sig[] = {'P', 'K', 1, 2};
  tail.insert(tail.end(), sig, sig + 4);
  tail.resize(tail.size() + 30, 0);
  ASSERT_EQ(0, locate(tail, &end, &v, true));
  EXPECT_EQ(EndSearchVerdict::kNotLastVolume, v);
  ASSERT_EQ(0, locate(tail, &end, &v, false));
  EXPECT_EQ(EndSearchVerdict::kFound, v);
  // An ordinary archive is the last volume in either mode.
  ASSERT_EQ(0, locate(whole, &end, &v, true));
  EXPECT_EQ(EndSearchVerdict::kFound, v);
}

TEST(DirectoryEnd, NotLastVolumeAsksForTheLastOne) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("x", "1"));
  Bytes last = a.build();
  Bytes first(last.begin(), last.begin() + 40);
  const uint8_t* vols[] = {first.data(), last.data()};
  size_t sizes[] = {first.size(), last.size()};
  MemoryArchiveInput in(vols, sizes, 2);
  in.set_scans_for_last_volume(true);
  in.set_open_volume(0);
  DirectoryEnd end;
  bool volume_failed = true;
  ASSERT_EQ(0, find_directory_end(in, &end, &volume_failed));
  EXPECT_FALSE(volume_failed);
  EXPECT_EQ(1u, in.volume_changes());
  EXPECT_EQ(1u, end.entries_total);
}

TEST(DirectoryEnd, Zip64RecordGivesSixtyFourBitValues) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("one", "1"));
  a.entries.push_back(testzip::stored_entry("two", "22"));
  a.zip64_end = true;
  testzip::Layout layout;
  Bytes b = testzip::build_with_layout(a, &layout);
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_TRUE(end.zip64);
  EXPECT_EQ(2u, end.entries_total);
  EXPECT_EQ(layout.directory_offset, end.directory_offset);
  EXPECT_EQ(layout.directory_nbytes, end.directory_nbytes);
  EXPECT_EQ(2, end.record.entries_total);

  // Counts wider than 16 bits stay saturated in the 16-bit copies.
  testzip::Archive many = a;
  many.zip64.entries_total = 70000;
  many.zip64.entries_this_disk = 70000;
  Bytes mb = many.build();
  MemoryArchiveInput in(mb.data(), mb.size());
  ASSERT_EQ(0, locate_directory_end(in, &end, &v));
  EXPECT_EQ(70000u, end.entries_total);
  EXPECT_EQ(0xFFFF, end.record.entries_total);
  // ... and a count that the file cannot hold is refused before any allocation.
  EXPECT_EQ(OU_BAD_STRUCTURE, check_directory_position(in, &end));
}

TEST(DirectoryEnd, BadZip64RecordsAreRefused) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("one", "1"));
  a.zip64_end = true;
  DirectoryEnd end;
  EndSearchVerdict v;
  for (uint64_t rest : {uint64_t{0}, uint64_t{45}, uint64_t{0xFFFFFFFFFFFFFFFF}}) {
    testzip::Archive bad = a;
    bad.zip64.rest_nbytes = rest;
    EXPECT_EQ(OU_BAD_STRUCTURE, locate(bad.build(), &end, &v)) << rest;
  }
  // A short record (rest 20) keeps the end record's values for the fields it lacks.
  testzip::Archive shorter = a;
  shorter.zip64.rest_nbytes = 20;
  Bytes sb = shorter.build();
  MemoryArchiveInput in(sb.data(), sb.size());
  ASSERT_EQ(0, locate_directory_end(in, &end, &v));
  EXPECT_EQ(0xFFFFFFFFu, end.directory_offset);  // not in the record: the saturated value stays
  EXPECT_EQ(OU_BAD_STRUCTURE, check_directory_position(in, &end));

  // No Zip64 record where the locator points nor right before the locator: refused.
  testzip::Layout layout;
  Bytes damaged = testzip::build_with_layout(a, &layout);
  damaged[layout.directory_offset + layout.directory_nbytes] = 'X';  // the record's signature
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(damaged, &end, &v));
  testzip::Archive wrong = a;
  wrong.zip64.locator_record_offset = 3;
  Bytes wb = testzip::build_with_layout(wrong, &layout);
  wb[layout.directory_offset + layout.directory_nbytes] = 'X';
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(wb, &end, &v));
  // The locator names an offset far beyond the file; the record right before the
  // locator is taken instead (an archive with bytes in front).
  testzip::Archive beyond = a;
  beyond.zip64.locator_record_offset = 1ull << 40;
  EXPECT_EQ(0, locate(beyond.build(), &end, &v));
}

TEST(DirectoryEnd, SaturatedCountWithoutLocatorKeepsTheRecordValues) {
  // An ordinary archive of exactly 65,535 entries has a saturated count but no
  // Zip64 records: the end record's own values stand.
  testzip::Archive a;
  a.end.entries_total = 0xFFFF;
  a.end.entries_this_disk = 0xFFFF;
  Bytes b = a.build();
  MemoryArchiveInput in(b.data(), b.size());
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate_directory_end(in, &end, &v));
  EXPECT_FALSE(end.zip64);
  EXPECT_EQ(65535u, end.entries_total);
  EXPECT_EQ(OU_BAD_STRUCTURE, check_directory_position(in, &end));  // 65,535 headers do not fit in 0 bytes
}

TEST(DirectoryEnd, CommentHoldingALocatorSignatureDoesNotRedirect) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("one", "1"));
  a.zip64_end = true;
  a.comment = std::string("PK\x06\x07", 4) + std::string(16, '\0');
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(a.build(), &end, &v));
  EXPECT_EQ(1u, end.entries_total);
}

TEST(DirectoryEnd, SingleVolumeFixUpOfDiskNumbers) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("one", "1"));
  a.end.directory_disk = 3;
  Bytes b = a.build();
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_EQ(0u, end.directory_disk);
  EXPECT_FALSE(end.multi_volume());
  // With counts that disagree the numbers stay as recorded.
  a.end.entries_this_disk = 0;
  ASSERT_EQ(0, locate(a.build(), &end, &v));
  EXPECT_EQ(3u, end.directory_disk);
}

TEST(DirectoryEnd, DirectoryOutsideTheFileIsRefused) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("one", "1"));
  DirectoryEnd end;
  EndSearchVerdict v;
  a.end.directory_offset = 0x7FFFFFF0;  // beyond the file
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(a.build(), &end, &v));
  testzip::Archive many;
  many.entries.push_back(testzip::stored_entry("one", "1"));
  many.end.entries_total = 60000;  // cannot fit in the directory's bytes
  many.end.entries_this_disk = 60000;
  EXPECT_EQ(OU_BAD_STRUCTURE, locate(many.build(), &end, &v));
}

TEST(DirectoryEnd, PreambleIsRecognised) {
  testzip::Archive a;
  a.preamble.assign(1000, 'S');
  a.offsets_exclude_preamble = true;  // a stub glued in front without fixing offsets
  a.entries.push_back(testzip::stored_entry("one", "1"));
  testzip::Layout layout;
  Bytes b = testzip::build_with_layout(a, &layout);
  DirectoryEnd end;
  EndSearchVerdict v;
  ASSERT_EQ(0, locate(b, &end, &v));
  EXPECT_EQ(1000u, end.preamble_nbytes);
  // The same with Zip64 records, whose locator is off by the preamble too.
  testzip::Archive z = a;
  z.zip64_end = true;
  ASSERT_EQ(0, locate(z.build(), &end, &v));
  EXPECT_TRUE(end.zip64);
  EXPECT_EQ(1000u, end.preamble_nbytes);
  // Offsets that already include the preamble need no shift.
  a.offsets_exclude_preamble = false;
  ASSERT_EQ(0, locate(a.build(), &end, &v));
  EXPECT_EQ(0u, end.preamble_nbytes);
}
