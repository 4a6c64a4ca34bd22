/* engine/zip/archive_operation.h - the archive operation: add, update, freshen, delete.
 *
 * The operation runs in three parts, each in its own file:
 *   archive_operation.cpp  setup, reading the existing archive, the item
 *                          selection and the decision for every entry;
 *   archive_writing.cpp    the new archive: entries copied or compressed in
 *                          order, the central directory, replacing the old
 *                          archive, and the finish (its time, deleting the
 *                          stored files);
 *   memory_to_memory.cpp   ZIP_MEMORY_TO_MEMORY, which writes no archive.
 * What the first part decided and the second carries out is an ArchivePlan.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/zip/entry_writer.h"
#include "engine/zip/old_archive.h"
#include "engine/zip/zip_state.h"

namespace ostrana {

enum class ZipAction { kAdd, kUpdate, kFreshen, kDelete };

/// The entry whose data is the caller's memory block or data callback.
struct MemoryEntry {
  bool present = false;
  bool from_callback = false;  ///< ZIP_ADD_FROM_CALLBACK; else lpMemBlock
  std::string name;            ///< stored-name form
  bool replaces_old = false;   ///< an existing entry of that name takes it as its source
};

struct ArchivePlan {
  ZipAction action = ZipAction::kAdd;
  int fix_level = 0;            ///< 0, 1 fixFlag, 2 fixHarderFlag
  bool append = false;          ///< the new entries go into the old archive in place
  OldArchive old;
  std::vector<SelectedFile> new_files;  ///< in the order they are written
  MemoryEntry memory;
  EntrySettings settings;
  WriteEncryption encryption;   ///< the run's encryption (settings.encryption points here)
  std::string store_suffixes;   ///< what settings.store_suffixes looks at
  std::vector<uint8_t> comment; ///< the new archive's comment
  uint64_t to_compress = 0;     ///< entries compressed now: the "of N" of the progress
  std::string unreadable;       ///< an item or folder of the selection that could not be read (code 18)
};

/// The archive operation (Function 1..5 and 7).  @return the run's code.
int run_archive_operation(ZipRun& run);

/// The output part of the operation.  @return the run's code.
int write_archive(ZipRun& run, ArchivePlan& plan);

/// ZIP_MEMORY_TO_MEMORY.  @return the run's code.
int run_memory_to_memory(ZipRun& run);

}  // namespace ostrana
