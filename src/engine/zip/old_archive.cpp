/* engine/zip/old_archive.cpp - reading and checking the existing archive.
 *
 * Sections: opening; the ordinary reading (preamble, local headers, central
 * headers, end records); the repair reading of the fix levels.
 */
#include "engine/zip/old_archive.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "engine/common/archive_input.h"
#include "engine/common/entry_names.h"
#include "engine/common/directory_end.h"
#include "engine/common/zip_extra.h"
#include "engine/zip/old_archive_locals.h"
#include "engine/zip/zip_messages.h"
#include "ostrana_results.h"

namespace ostrana {

using namespace zip;

namespace {

/// An archive this long or longer needs Zip64 to be read at all.
constexpr uint64_t kLargeArchive = 0xFFFFFFFFull;

std::string shown_name_of(const std::string& raw, uint16_t flags, const std::vector<uint8_t>& extra,
                          bool names_utf8) {
  if (names_utf8) return raw;
  return shown_name(raw, flags, extra.data(), extra.size());
}

/// The extra blocks an entry rebuilt from its local header keeps in its
/// central header: the encryption descriptions, which readers need there,
/// and the UTC time (the mode lives in the central header alone and is lost).
std::vector<uint8_t> repair_extra(const std::vector<uint8_t>& local_extra) {
  std::vector<uint8_t> out;
  for (uint16_t tag : {kExtraTimestamp, kExtraAes, kExtraStrongEncryption}) {
    ExtraBlock b;
    if (!find_extra_block(local_extra.data(), local_extra.size(), tag, &b)) continue;
    const uint8_t* start = b.data - kExtraBlockHead;
    out.insert(out.end(), start, start + b.block_nbytes());
  }
  return out;
}

}  // namespace

// ---- opening ------------------------------------------------------------------

int OldArchive::read(const std::string& path, const OldArchiveOptions& options, MessageBook& book,
                     const std::function<void(const std::string&)>& warn, std::string* detail_ret) {
  m_options = options;
  m_path = path;
  *detail_ret = path;
  if (path.empty() || path == "-") return OZ_MISSING_ARCHIVE;
  int err = m_file.open(path, platform::File::Mode::kRead);
  if (err == ENOENT || err == ENOTDIR) return OZ_SUCCESS;  // a new archive
  if (err != 0) return OZ_NOT_FOUND;
  int64_t length = m_file.size();
  if (length < 0) return OZ_NOT_FOUND;
  m_file_nbytes = static_cast<uint64_t>(length);
  if (m_file_nbytes == 0) {
    // An empty file is no archive yet: it goes, and the archive is new.
    m_file.close();
    if (platform::remove_file(path) != 0) return OZ_BAD_STRUCTURE;
    return OZ_SUCCESS;
  }
  if (!options.large && m_file_nbytes >= kLargeArchive) {
    *detail_ret = path + ": " + book.text(kZipMsgNeedsZip64, 1);
    return OZ_INVALID_OR_MEMORY;
  }
  if (m_file_nbytes < kEndRecordSize) return OZ_READ_FAILED;
  m_exists = true;
  detail_ret->clear();
  try {
    return options.fix_level > 0 ? read_repair(options.fix_level, detail_ret)
                                 : read_ordinary(book, warn, detail_ret);
  } catch (const std::bad_alloc&) {
    *detail_ret = path;
    return OZ_OUT_OF_MEMORY;
  }
}

// ---- the ordinary reading ---------------------------------------------------------

int OldArchive::read_ordinary(MessageBook& book, const std::function<void(const std::string&)>& warn,
                              std::string* detail) {
  const uint64_t len = m_file_nbytes;
  auto fail = [&](int code, int message_id, const std::string& suffix = std::string()) {
    *detail = book.text(message_id, 2);
    *detail += suffix;
    return code;
  };
  auto fail_input = [&]() {
    *detail = m_path;
    return OZ_READ_FAILED;
  };

  // The end record, searched backward from the end: only single-volume
  // archives can be changed.
  FileArchiveInput input(m_file);
  uint64_t end_at = 0;
  EndSearchVerdict verdict = EndSearchVerdict::kFound;
  int rc = find_end_record(input, &end_at, &verdict);
  if (rc == OU_OUT_OF_MEMORY) return OZ_OUT_OF_MEMORY;
  if (rc != 0) return fail_input();
  ArchiveBytes bytes(m_file, len);
  uint8_t raw[kZip64EndRecordSize];
  EndRecord end;
  if (!bytes.read(end_at, raw, kEndRecordSize) || !parse_end_record(raw, &end)) return fail_input();
  if (end.this_disk != 0) {
    *detail = m_path;
    return OZ_MULTIVOLUME_USAGE;
  }

  // Preamble: whatever lies before the first local header or end record.
  uint64_t pos = end_at;
  if (!bytes.find_first_header(0, end_at + 4, &pos) && bytes.io_failed()) return fail_input();
  m_preamble_nbytes = pos;
  if (pos != 0) warn(m_path + book.format(kZipMsgPreamble, 2, static_cast<long>(pos)));

  // Every local header in turn, with the extent of its entry.
  std::vector<LocalFound> locals;
  while (bytes.signature_at(pos) == kLocalHeaderSignature) {
    LocalFound f;
    switch (read_local(bytes, pos, end_at, &f)) {
      case LocalVerdict::kOk: break;
      case LocalVerdict::kZeroName:
        return fail(OZ_BAD_STRUCTURE, kZipMsgZeroLengthName, std::to_string(locals.size() + 1));
      case LocalVerdict::kDescriptorMissing: return fail(OZ_BAD_STRUCTURE, kZipMsgDescriptorMissing, f.name);
      case LocalVerdict::kBadDescriptor: return fail(OZ_BAD_STRUCTURE, kZipMsgBadDescriptor, f.name);
      case LocalVerdict::kBadDescriptorSize: return fail(OZ_BAD_STRUCTURE, kZipMsgBadDescriptorSize);
      case LocalVerdict::kBadExtra: *detail = f.name; return OZ_BAD_STRUCTURE;
      case LocalVerdict::kRunsPastEnd: *detail = f.name; return OZ_UNEXPECTED_EOF;
      case LocalVerdict::kNotLocal:
      case LocalVerdict::kInputFailed: return fail_input();
    }
    pos = f.end_offset;
    locals.push_back(std::move(f));
  }
  if (bytes.io_failed()) return fail_input();

  // Every central header, matched to its local header.
  const uint64_t directory_start = pos;
  std::vector<bool> used(locals.size(), false);
  auto local_at = [&](uint64_t offset) -> size_t {
    auto it = std::lower_bound(locals.begin(), locals.end(), offset,
                               [](const LocalFound& l, uint64_t o) { return l.offset < o; });
    return it != locals.end() && it->offset == offset ? static_cast<size_t>(it - locals.begin()) : locals.size();
  };
  while (bytes.signature_at(pos) == kCentralHeaderSignature) {
    CentralHeader h;
    if (!bytes.read(pos, raw, kCentralHeaderSize) || !parse_central_header(raw, &h)) return fail_input();
    if (len - pos - kCentralHeaderSize < h.variable_nbytes()) {
      *detail = m_path;
      return OZ_BAD_STRUCTURE;
    }
    const size_t k = m_entries.size();
    if (k >= locals.size()) return fail(OZ_BAD_STRUCTURE, kZipMsgExtraCentral);
    OldEntry e;
    CentralRecord& r = e.central;
    r.header = h;
    r.name.resize(h.name_nbytes);
    std::vector<uint8_t> extra(h.extra_nbytes);
    r.comment.resize(h.comment_nbytes);
    uint64_t at = pos + kCentralHeaderSize;
    if (!bytes.read(at, r.name.data(), r.name.size()) || !bytes.read(at + h.name_nbytes, extra.data(), extra.size()) ||
        !bytes.read(at + h.name_nbytes + h.extra_nbytes, r.comment.data(), r.comment.size()))
      return fail_input();
    e.shown_name = shown_name_of(r.name, h.flags, extra, m_options.names_utf8);
    EntryExtras extras;
    Zip64Header z{h.uncompressed_size, h.compressed_size, h.local_header_offset, h.disk_start};
    if (scan_entry_extras(extra.data(), extra.size(), z, ExtraScope::kCentral, &extras) != 0) {
      *detail = e.shown_name;
      return OZ_BAD_STRUCTURE;
    }
    r.extra = extra_without_zip64(extra.data(), extra.size());
    r.compressed_size = extras.zip64.compressed_size;
    r.uncompressed_size = extras.zip64.uncompressed_size;

    // Its local header: at the recorded offset (absolute, or behind the
    // preamble), else the one in the same place of the walk.
    const uint64_t recorded = extras.zip64.local_header_offset;
    size_t i = local_at(recorded);
    if (i == locals.size() && recorded <= UINT64_MAX - m_preamble_nbytes) i = local_at(recorded + m_preamble_nbytes);
    if (i == locals.size() || used[i]) {
      if (!r.comment.empty() || used[k]) return fail(OZ_BAD_STRUCTURE, kZipMsgLocalOffset, e.shown_name);
      i = k;
    }
    used[i] = true;
    const LocalFound& l = locals[i];
    if (l.name != r.name) return fail(OZ_BAD_STRUCTURE, kZipMsgNamesDiffer, e.shown_name);
    if (l.compressed_size != r.compressed_size) return fail(OZ_BAD_STRUCTURE, kZipMsgSizesDiffer, e.shown_name);
    e.local_offset = l.offset;
    e.data_offset = l.data_offset;
    e.end_offset = l.end_offset;
    r.local_offset = l.offset;
    m_entries.push_back(std::move(e));
    pos = at + h.variable_nbytes();
  }
  const uint64_t directory_end = pos;

  // The end records.  Past a Zip64 end record the directory is taken as found.
  bool zip64 = false;
  if (bytes.signature_at(pos) == kZip64EndRecordSignature) {
    zip64 = true;
    uint64_t locator = 0;
    if (bytes.find(pos, len, kZip64LocatorSignature, &locator)) bytes.find(locator, len, kEndRecordSignature, &pos);
  }
  if (bytes.signature_at(pos) != kEndRecordSignature || !bytes.read(pos, raw, kEndRecordSize) ||
      !parse_end_record(raw, &end)) {
    if (bytes.io_failed()) return fail_input();
    warn(book.text(kZipMsgMissingEnd, 2));
    return fail(OZ_BAD_STRUCTURE, kZipMsgMissingEnd);
  }
  // The walk must end at the end record found from the end of the file.  When
  // it ends at an earlier one, what follows it (kept as the comment) holds
  // another end record, and every reader that searches from the end - the
  // unzip side, the other tools - would take the rewritten archive for that
  // one: the archive cannot be changed faithfully, only repaired.
  if (pos != end_at) return fail(OZ_BAD_STRUCTURE, kZipMsgDirectoryStart);
  if (end.this_disk != 0 || end.directory_disk != 0 || end.entries_this_disk != end.entries_total)
    warn(book.text(kZipMsgMultipleDisk, 2));
  if (!zip64) {
    if (end.entries_total != m_entries.size()) return fail(OZ_BAD_STRUCTURE, kZipMsgWrongCount);
    if (end.directory_nbytes != directory_end - directory_start) warn(book.text(kZipMsgDirectorySize, 2));
    if (end.directory_offset != directory_start && end.directory_offset + m_preamble_nbytes != directory_start)
      return fail(OZ_BAD_STRUCTURE, kZipMsgDirectoryStart);
  }
  m_directory_offset = directory_start;

  // The comment, and anything after it.
  const uint64_t comment_at = pos + kEndRecordSize;
  const uint64_t avail = std::min<uint64_t>(len - comment_at, end.comment_nbytes);
  m_comment.resize(static_cast<size_t>(avail));
  if (!bytes.read(comment_at, m_comment.data(), m_comment.size())) return fail_input();
  if (comment_at + end.comment_nbytes < len) warn(book.text(kZipMsgGarbage, 2));
  return OZ_SUCCESS;
}

// ---- repair ---------------------------------------------------------------------------

int OldArchive::read_repair(int fix_level, std::string* detail) {
  const uint64_t len = m_file_nbytes;
  ArchiveBytes bytes(m_file, len);
  uint64_t pos = 0;
  // Searching the whole file, every candidate may search on for its data
  // descriptor; together they search a few times the file at most.
  uint64_t budget = 8 * len + (64u << 20);
  while (bytes.find(pos, len, kLocalHeaderSignature, &pos)) {
    LocalFound l;
    if (read_local(bytes, pos, len, &l, fix_level >= 2 ? &budget : nullptr) != LocalVerdict::kOk) {
      if (bytes.io_failed() || fix_level < 2) break;
      ++pos;  // not an entry after all: search on
      continue;
    }
    OldEntry e;
    CentralRecord& r = e.central;
    r.header.version_made_by = kVersionDeflate;
    r.header.version_needed = l.header.version_needed;
    r.header.flags = l.header.flags;
    r.header.method = l.header.method;
    r.header.mod_time = l.header.mod_time;
    r.header.mod_date = l.header.mod_date;
    r.header.crc32 = l.crc32;
    r.compressed_size = l.compressed_size;
    r.uncompressed_size = l.uncompressed_size;
    r.local_offset = l.offset;
    r.name = l.name;
    r.extra = repair_extra(l.extra);
    e.shown_name = shown_name_of(r.name, l.header.flags, l.extra, m_options.names_utf8);
    r.header.external_attributes = e.is_folder() ? 0x10 : 0x20;
    e.local_offset = l.offset;
    e.data_offset = l.data_offset;
    e.end_offset = l.end_offset;
    m_entries.push_back(std::move(e));
    pos = l.end_offset;
    if (fix_level < 2 && bytes.signature_at(pos) != kLocalHeaderSignature) break;
  }
  if (bytes.io_failed()) {
    *detail = m_path;
    return OZ_READ_FAILED;
  }
  return OZ_SUCCESS;
}

}  // namespace ostrana
