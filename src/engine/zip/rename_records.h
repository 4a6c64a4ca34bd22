/* zip/rename_records.h - the two record forms of the zip side's rename callbacks.
 *
 * A caller of the engine may rename each selected file before it is stored.
 * The plain callback gets a 532-byte record with 260-byte names; the extended
 * one (chosen by `lZipSubOptions2` bit 1) gets a 4,120-byte record with 2,048-byte
 * names and the file size.  RecordRenameHook adapts either C callback to the
 * selection's RenameHook: it fills the record (names cut to the field, never
 * inside a UTF-8 sequence), calls the callback, and reads the name back bounded
 * by the field even when the callback forgot the terminating NUL.  The attribute
 * mask 0x27 is applied by the selection, for every kind of hook.
 *
 * The layouts are part of the engine's C contract; the static_asserts pin them.
 */
#pragma once

#include <cstdint>

#include "engine/zip/selection_hooks.h"

extern "C" {

/// Record of `lpRenameProc`.
struct ZipRenameRecord {
  char szEntryName[260];  ///< in/out
  int32_t lDosDate;       ///< in/out
  int32_t lDosTime;       ///< in/out
  int32_t lAttributes;    ///< in/out (mask 0x27 taken back)
  char szSourcePath[260]; ///< in
};

/// Record of `lpRenameProcEX`.
struct ZipRenameRecordEx {
  int32_t lRecordSize;     ///< 4,120
  char szEntryName[2048];  ///< in/out
  int32_t lDosDate;        ///< in/out
  int32_t lDosTime;        ///< in/out
  int32_t lAttributes;     ///< in/out (mask 0x27 taken back)
  char szSourcePath[2048]; ///< in
  uint32_t ulFileSizeLow;  ///< in
  uint32_t ulFileSizeHigh; ///< in
};

/// Both callbacks take (record, user data); the result is not used.
typedef int (*ZipRenameProc)(void* record, void* user_data);

}  // extern "C"

static_assert(sizeof(ZipRenameRecord) == 532, "plain rename record layout");
static_assert(sizeof(ZipRenameRecordEx) == 4120, "extended rename record layout");

namespace ostrana {

/// RenameHook over a C rename callback of either form.
class RecordRenameHook : public RenameHook {
 public:
  RecordRenameHook(ZipRenameProc proc, void* user_data, bool extended)
      : m_proc(proc), m_user_data(user_data), m_extended(extended) {}

  void rename(RenameRequest& request) override;

 private:
  ZipRenameProc m_proc;
  void* m_user_data;
  bool m_extended;
};

}  // namespace ostrana
