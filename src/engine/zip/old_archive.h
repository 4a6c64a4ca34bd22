/* engine/zip/old_archive.h - the existing archive that an add, update, freshen or delete changes.
 *
 * Before anything is selected, the archive operation reads the archive it is
 * about to change.  This reading is stricter than the directory reader's: it
 * walks the archive from its first byte, every local header in turn, then
 * every central header, then the end record, and checks that they agree, so
 * that entries can later be copied byte for byte into the new archive without
 * carrying a fault along.  What it finds:
 *
 *   - the preamble: bytes before the first local header (or the end record),
 *     kept and copied to the new archive (a warning names its length);
 *   - the entries in archive order, each with its central record (the fields
 *     the new central header is written from) and the byte range of its local
 *     header, data and data descriptor;
 *   - the archive comment; bytes after it are ignored with a warning.
 *
 * The checks and their verdicts (warnings go to the caller's warning sink;
 * an error ends the reading with its code and a text for the report):
 *   zero-length local name, missing or inconsistent data descriptor, more
 *   central headers than local ones, a central header whose local header is
 *   elsewhere, names that differ between the two headers, a missing end
 *   record: errors (3); several disks or differing counts in the end record,
 *   a wrong directory size: warnings; a wrong entry count or directory start:
 *   errors.  Past a Zip64 end record the directory is taken as found.
 *
 * Entries are matched to their local headers by the offset the central header
 * records (absolute, or relative to the end of the preamble, as archives with
 * a stub put in front of them have it); an entry whose recorded offset hits
 * no local header falls back to the local header in the same position of the
 * walk, which is accepted only for entries without a comment.
 *
 * Repair (fix levels): the central directory is not read at all.  Level 1
 * takes the local headers one after another from the first one; level 2
 * searches the whole file for local headers, so entries behind damage are
 * found too.  Entries whose data runs past the end of the file are left out.
 * Each entry's central record is made from its local header.
 *
 * Every number read is checked against the file's length before it is used
 * to seek or to size anything; nothing here allocates by an untrusted count.
 */
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/common/messages.h"
#include "engine/zip/selection_hooks.h"
#include "engine/zip/zip_headers.h"
#include "platform/file.h"

namespace ostrana {

struct OldEntry {
  CentralRecord central;      ///< as the new archive will list it (local_offset: where it was)
  std::string shown_name;     ///< UTF-8: what selection and patterns compare
  uint64_t local_offset = 0;  ///< its local header in the old archive
  uint64_t data_offset = 0;   ///< its first data byte
  uint64_t end_offset = 0;    ///< just past its data and data descriptor

  // What the run decided (archive_operation).
  bool marked = false;        ///< to be replaced (add, update, freshen) or deleted
  bool newer = false;         ///< a source exists, is dated after the limit, and is not newer
  bool has_source = false;    ///< a selected file claimed it
  bool memory_source = false; ///< the run's memory entry (block or callback) replaces it
  SelectedFile source;        ///< that file (or the name as a path)

  bool is_folder() const { return !shown_name.empty() && shown_name.back() == '/'; }
};

struct OldArchiveOptions {
  bool large = false;        ///< LargeZIPFilesFlag: archives of 4 GiB and more may be read
  int fix_level = 0;         ///< 0; 1 fixFlag; 2 fixHarderFlag
  bool names_utf8 = false;   ///< option bit 11: stored names are already the engine's text
};

class OldArchive {
 public:
  /// Reads the archive at @p path.  Warnings (already formatted with @p book's
  /// texts) go to @p warn.  @return 0, or the run's code with *@p detail_ret:
  /// 13 no name, 18 cannot be opened, 8 too large without Zip64, 11 too short
  /// or no end record, 21 an end record of another disk, 3 a structure error
  /// (detail: the check's text), 2 data that runs past the end, 4 no memory.
  int read(const std::string& path, const OldArchiveOptions& options, MessageBook& book,
           const std::function<void(const std::string&)>& warn, std::string* detail_ret);

  /// False when there was no archive (or an empty file, which is removed).
  bool exists() const { return m_exists; }
  /// The open archive (reading only).
  platform::File& file() { return m_file; }
  uint64_t file_nbytes() const { return m_file_nbytes; }
  uint64_t preamble_nbytes() const { return m_preamble_nbytes; }
  /// Where the central directory was found (appending writes from here).
  uint64_t directory_offset() const { return m_directory_offset; }
  std::vector<OldEntry>& entries() { return m_entries; }
  const std::vector<uint8_t>& comment() const { return m_comment; }

 private:
  int read_ordinary(MessageBook& book, const std::function<void(const std::string&)>& warn, std::string* detail);
  int read_repair(int fix_level, std::string* detail);

  OldArchiveOptions m_options;
  platform::File m_file;
  std::string m_path;
  bool m_exists = false;
  uint64_t m_file_nbytes = 0;
  uint64_t m_preamble_nbytes = 0;
  uint64_t m_directory_offset = 0;
  std::vector<OldEntry> m_entries;
  std::vector<uint8_t> m_comment;
};

/// The existing entries as the item selection sees them.
class OldEntriesView final : public ExistingEntries {
 public:
  explicit OldEntriesView(std::vector<OldEntry>& entries) : m_entries(entries) {}
  size_t entry_count() const override { return m_entries.size(); }
  std::string_view entry_name(size_t index) const override { return m_entries[index].shown_name; }
  void mark_entry(size_t index) override { m_entries[index].marked = true; }
  void set_entry_source(size_t index, const SelectedFile& file) override {
    m_entries[index].has_source = true;
    m_entries[index].source = file;
  }

 private:
  std::vector<OldEntry>& m_entries;
};

}  // namespace ostrana
