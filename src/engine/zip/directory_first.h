/* engine/zip/directory_first.h - the directory-first layout of a multi-volume archive.
 *
 * With wMultiVolControl bit 12 the central directory opens the first piece,
 * ahead of any data: a reader that is handed the first disk finds the whole
 * list of items at once.  The writer cannot know the final values yet, so it
 * writes placeholder headers first - each exactly as long as the final one
 * will be (same name, same extra blocks; without LargeZIPFilesFlag no Zip64
 * block can appear, which is why the layout is refused with it) - then the
 * entries, then the end record on the last piece pointing back at piece 0,
 * offset 0.  Finally the first piece is opened again (on disks: the user is
 * asked for the first disk), its first header must carry the first entry's
 * name, and the final headers are written over the placeholders.  Entries
 * that were skipped leave their placeholder bytes unused after the directory;
 * the end record's size covers only the real headers.  The spanning signature
 * is not written in this layout: the piece must begin with a central header.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/zip/zip_headers.h"

namespace ostrana {

/// A placeholder record for the entry @p name (UTF-8, stored-name form) with
/// the extra blocks its entry will carry (entry_extra_blocks()).
CentralRecord placeholder_record(const std::string& name, std::vector<uint8_t> extra);

/// The bytes of the central headers of @p records.  @return false when one
/// cannot be written (its extra field too long).
bool central_directory_bytes(const std::vector<CentralRecord>& records, std::vector<uint8_t>* out);

/// True when @p data (@p nbytes) begins with a central header whose name is
/// @p name.  Reads nothing beyond @p nbytes.
bool starts_with_central_header(const uint8_t* data, size_t nbytes, const std::string& name);

/// The end record of the layout: the directory of @p count headers and
/// @p directory_nbytes at piece 0, offset 0; @p on_this_disk of them on the
/// piece the record lands on.  Kept whole.  @return 0 or the output's code.
int write_directory_first_end(ArchiveOutput& out, uint64_t count, uint64_t directory_nbytes,
                              const std::vector<uint8_t>& comment);

}  // namespace ostrana
