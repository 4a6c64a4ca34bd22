/* engine/common/directory_end.cpp - finding the end of the central directory. */
#include "engine/common/directory_end.h"

#include <memory>
#include <new>

#include "engine/common/checks.h"

namespace ostrana {

using namespace zip;

namespace {

/// How often the last volume is asked for before the reader gives up.
constexpr int kLastVolumeTries = 64;

/// Reads exactly @p nbytes at @p offset; false on a short or failed read.
bool read_exact(ArchiveInput& in, uint64_t offset, void* buf, size_t nbytes) {
  return in.read_at(offset, buf, nbytes) == static_cast<std::ptrdiff_t>(nbytes);
}

/// A window of the input's tail in one heap buffer.
struct Window {
  std::unique_ptr<uint8_t[]> bytes;
  size_t nbytes = 0;
  uint64_t start = 0;  // volume offset of bytes[0]
};

int read_window(ArchiveInput& in, uint64_t start, size_t nbytes, Window* w) {
  w->bytes.reset(new (std::nothrow) uint8_t[nbytes == 0 ? 1 : nbytes]);
  RETURN_IF(!w->bytes, OU_OUT_OF_MEMORY);
  SAFETY_CHECK(read_exact(in, start, w->bytes.get(), nbytes));
  w->nbytes = nbytes;
  w->start = start;
  return 0;
}

bool is_header_signature(const uint8_t* p) {
  // "PK" then 1 or 3, then 2 or 4: a central or local header signature.
  return p[0] == 'P' && p[1] == 'K' && (p[2] == 1 || p[2] == 3) && (p[3] == 2 || p[3] == 4);
}

/// Finds the Zip64 locator nearest before the end record and reads the record
/// it names into @p z, and its offset into @p record_offset_ret.  @return 0 with
/// *found_ret false when there is no locator.
int read_zip64_record(ArchiveInput& in, uint64_t length, uint64_t end_offset, Zip64EndRecord* z,
                      bool* found_ret, uint64_t* record_offset_ret) {
  *found_ret = false;
  if (end_offset < kZip64LocatorSize) return 0;
  uint64_t window_start = length > kZip64LocatorWindow ? length - kZip64LocatorWindow : 0;
  if (window_start > end_offset - kZip64LocatorSize) return 0;
  // Only the bytes before the end record can hold the locator; the comment after
  // it is text and must not redirect the search.
  Window w;
  FORWARD_IF_ERROR(read_window(in, window_start, static_cast<size_t>(end_offset - window_start), &w));
  size_t pos = w.nbytes - kZip64LocatorSize + 1;
  Zip64Locator loc;
  bool have_locator = false;
  while (pos-- > 0) {
    if (parse_zip64_locator(w.bytes.get() + pos, &loc)) {
      have_locator = true;
      break;
    }
  }
  if (!have_locator) return 0;
  uint64_t locator_offset = w.start + pos;

  // The record normally lies where the locator says; an archive with a preamble
  // has it directly before the locator instead.
  uint8_t head[kZip64EndRecordHead];
  uint64_t rest = 0;
  uint64_t record_offset = loc.record_offset;
  bool ok = locator_offset >= kZip64EndRecordHead && record_offset <= locator_offset - kZip64EndRecordHead &&
            read_exact(in, record_offset, head, sizeof head) && parse_zip64_end_head(head, &rest);
  if (!ok && locator_offset >= kZip64EndRecordSize) {
    record_offset = locator_offset - kZip64EndRecordSize;
    ok = read_exact(in, record_offset, head, sizeof head) && parse_zip64_end_head(head, &rest);
  }
  SAFETY_CHECK(ok);
  SAFETY_CHECK(rest >= 1 && rest <= kZip64EndRecordBody);
  uint8_t body[kZip64EndRecordBody] = {};
  SAFETY_CHECK(read_exact(in, record_offset + kZip64EndRecordHead, body, static_cast<size_t>(rest)));
  // Fields the short record does not hold keep the end record's values.
  parse_zip64_end_body(body, static_cast<size_t>(rest), z);
  z->rest_nbytes = rest;
  *found_ret = true;
  *record_offset_ret = record_offset;
  return 0;
}

/// Recognises a directory whose recorded offset is off by a preamble.
void detect_preamble(ArchiveInput& in, uint64_t directory_end, DirectoryEnd* e) {
  if (e->multi_volume() || e->entries_total == 0) return;
  if (directory_end < e->directory_nbytes) return;
  uint64_t implied = directory_end - e->directory_nbytes;
  if (implied <= e->directory_offset) return;
  uint8_t sig[4];
  bool at_recorded = read_exact(in, e->directory_offset, sig, 4) && has_signature(sig, kCentralHeaderSignature);
  if (at_recorded) return;
  if (read_exact(in, implied, sig, 4) && has_signature(sig, kCentralHeaderSignature))
    e->preamble_nbytes = implied - e->directory_offset;
}

/// True when the end record at @p pos of the window @p w is believable
/// although its comment does not reach the end of the file: it belongs to
/// another volume, names a Zip64 locator before it, describes an empty
/// directory, or points at a central header (where it says, or where its
/// size puts it when bytes were put in front of the archive).
bool end_record_points_home(ArchiveInput& in, const Window& w, size_t pos) {
  const uint8_t* r = w.bytes.get() + pos;
  if (get_le16(r + 4) != 0) return true;  // a later volume: its directory is elsewhere
  const uint16_t entries = get_le16(r + 10);
  const uint32_t nbytes = get_le32(r + 12);
  const uint32_t offset = get_le32(r + 16);
  if (entries == 0xFFFF || nbytes == 0xFFFFFFFF || offset == 0xFFFFFFFF)
    return pos >= kZip64LocatorSize && has_signature(r - kZip64LocatorSize, kZip64LocatorSignature);
  if (entries == 0) return nbytes == 0;
  const uint64_t at = w.start + pos;
  uint8_t sig[4];
  if (offset < at && read_exact(in, offset, sig, 4) && has_signature(sig, kCentralHeaderSignature)) return true;
  return nbytes <= at && read_exact(in, at - nbytes, sig, 4) && has_signature(sig, kCentralHeaderSignature);
}

}  // namespace

int find_end_record(ArchiveInput& in, uint64_t* offset_ret, EndSearchVerdict* verdict_ret) {
  int64_t length = in.length();
  SAFETY_CHECK(length >= 0);
  uint64_t len = static_cast<uint64_t>(length);
  SAFETY_CHECK(len >= kEndRecordSize);
  size_t window = len < kEndSearchWindow ? static_cast<size_t>(len) : kEndSearchWindow;
  Window w;
  FORWARD_IF_ERROR(read_window(in, len - window, window, &w));
  const bool recognise_headers = in.scans_for_last_volume();
  const uint8_t* b = w.bytes.get();
  // A comment may hold the bytes "PK\5\6" itself.  The record taken is the
  // nearest one whose comment ends exactly at the end of the file; failing
  // that, the nearest one that points at its own directory; failing that
  // (a damaged archive), the nearest one, as before.
  constexpr int kMaxProbes = 64;  // directory probes: a comment can be full of signatures
  int probes = 0;
  size_t first = SIZE_MAX, credible = SIZE_MAX;
  for (size_t pos = window - 4 + 1; pos-- > 0;) {
    if (b[pos] != 'P' || b[pos + 1] != 'K') continue;
    // An end record must fit in the window; a "PK\5\6" in the last 21 bytes
    // is comment text.
    if (b[pos + 2] == 5 && b[pos + 3] == 6 && window - pos >= kEndRecordSize) {
      if (pos + kEndRecordSize + get_le16(b + pos + 20) == window) {
        first = credible = pos;
        break;
      }
      if (first == SIZE_MAX) first = pos;
      if (credible == SIZE_MAX && probes < kMaxProbes) {
        ++probes;
        if (end_record_points_home(in, w, pos)) credible = pos;
      }
      continue;
    }
    if (recognise_headers && is_header_signature(b + pos)) {
      if (first != SIZE_MAX) break;  // decided among the records already seen
      *verdict_ret = EndSearchVerdict::kNotLastVolume;
      return 0;
    }
  }
  if (first == SIZE_MAX) return OU_BAD_STRUCTURE;
  *offset_ret = w.start + (credible != SIZE_MAX ? credible : first);
  *verdict_ret = EndSearchVerdict::kFound;
  return 0;
}

int read_directory_end(ArchiveInput& in, uint64_t end_offset, DirectoryEnd* ret) {
  int64_t length = in.length();
  SAFETY_CHECK(length >= 0);
  uint64_t len = static_cast<uint64_t>(length);
  SAFETY_CHECK(end_offset <= len && len - end_offset >= kEndRecordSize);
  uint8_t raw[kEndRecordSize];
  SAFETY_CHECK(read_exact(in, end_offset, raw, sizeof raw));
  EndRecord r;
  SAFETY_CHECK(parse_end_record(raw, &r));

  // The end record's values, widened; a Zip64 record replaces them.
  Zip64EndRecord z;
  z.this_disk = r.this_disk;
  z.directory_disk = r.directory_disk;
  z.entries_this_disk = r.entries_this_disk;
  z.entries_total = r.entries_total;
  z.directory_nbytes = r.directory_nbytes;
  z.directory_offset = r.directory_offset;
  bool zip64 = false;
  uint64_t directory_end = end_offset;  // where the directory must end at the latest
  if (r.needs_zip64()) FORWARD_IF_ERROR(read_zip64_record(in, len, end_offset, &z, &zip64, &directory_end));

  DirectoryEnd e;
  e.end_record_offset = end_offset;
  e.zip64 = zip64;
  e.this_disk = z.this_disk;
  e.directory_disk = z.directory_disk;
  e.entries_this_disk = z.entries_this_disk;
  e.entries_total = z.entries_total;
  e.directory_nbytes = z.directory_nbytes;
  e.directory_offset = z.directory_offset;
  e.comment_nbytes = r.comment_nbytes;
  uint64_t after = len - end_offset - kEndRecordSize;
  e.comment_avail = static_cast<uint16_t>(after < r.comment_nbytes ? after : r.comment_nbytes);

  // A set whose directory is said to start on another disk while both counts
  // agree is in fact a single volume.
  if (e.this_disk == 0 && e.directory_disk != 0 && e.entries_this_disk == e.entries_total) e.directory_disk = 0;

  e.record = r;
  e.record.this_disk = saturate16(e.this_disk);
  e.record.directory_disk = saturate16(e.directory_disk);
  e.record.entries_this_disk = saturate16(e.entries_this_disk);
  e.record.entries_total = saturate16(e.entries_total);

  e.directory_end = directory_end;
  in.note_last_volume(e.this_disk);
  *ret = e;
  return 0;
}

int check_directory_position(ArchiveInput& in, DirectoryEnd* e) {
  if (e->multi_volume()) return 0;
  int64_t length = in.length();
  SAFETY_CHECK(length >= 0);
  detect_preamble(in, e->directory_end, e);
  // Everything here is checked before a byte is allocated for the directory.
  uint64_t start = e->directory_offset + e->preamble_nbytes;
  SAFETY_CHECK(e->directory_offset <= static_cast<uint64_t>(length) && start >= e->directory_offset &&
               start <= e->end_record_offset);
  SAFETY_CHECK(e->entries_total <= (e->end_record_offset - start) / kCentralHeaderSize);
  return 0;
}

int locate_directory_end(ArchiveInput& in, DirectoryEnd* ret, EndSearchVerdict* verdict_ret) {
  uint64_t offset = 0;
  FORWARD_IF_ERROR(find_end_record(in, &offset, verdict_ret));
  if (*verdict_ret == EndSearchVerdict::kNotLastVolume) return 0;
  return read_directory_end(in, offset, ret);
}

int find_directory_end(ArchiveInput& in, DirectoryEnd* ret, bool* volume_failed_ret) {
  *volume_failed_ret = false;
  // A user who keeps inserting wrong disks is asked again, but an input that
  // answers with non-last volumes for ever cannot hold the reader.
  for (int tries = 0; tries < kLastVolumeTries; ++tries) {
    EndSearchVerdict verdict = EndSearchVerdict::kFound;
    FORWARD_IF_ERROR(locate_directory_end(in, ret, &verdict));
    if (verdict == EndSearchVerdict::kFound) return 0;
    int rc = in.select_volume(kLastVolume, VolumeRequest::kLastVolume);
    if (rc != 0) {
      *volume_failed_ret = true;
      return rc;
    }
  }
  return OU_BAD_STRUCTURE;
}

int read_archive_comment(ArchiveInput& in, const DirectoryEnd& end, std::vector<uint8_t>* comment_ret) {
  try {
    comment_ret->assign(end.comment_avail, 0);
  } catch (const std::bad_alloc&) {
    return OU_OUT_OF_MEMORY;
  }
  if (end.comment_avail != 0) SAFETY_CHECK(read_exact(in, end.comment_offset(), comment_ret->data(), end.comment_avail));
  return 0;
}

}  // namespace ostrana
