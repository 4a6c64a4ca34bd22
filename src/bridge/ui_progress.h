/* bridge/ui_progress.h - the progress callback through which a running operation reaches the UI.
 *
 * Every engine bridge operation takes one UiProgressCallback.  The bridge
 * turns everything the engine reports or asks (progress over the items,
 * progress within an item, "may this file be overwritten?", an item found by
 * a listing) into calls of its one method, notify(), with one of four
 * notification codes.  The performing page, the pick-archive page and the
 * scheduled run implement it; tests implement it with a recorder.
 *
 * notify() keeps the ten arguments the program's callback always had, so a
 * handler can be written against the table below without knowing the engine:
 *
 *   code  sent when                          text              value
 *   256   progress within the current item    the item's name   percent 0..100
 *   257   progress over the items, and once   the engine's line percent
 *         more after a successful run         ("Item 3 of 10")
 *   272   an extracted file is about to be    null              0
 *         written (the file may exist)
 *   288   a listing found an item             "Found Item '%s'..."  0..24
 *
 * A non-zero result asks the bridge to stop (256, 257, 288).  For 272 the
 * handler answers through @p answer (6 Yes, 7 No, 5 All, 2 Cancel) and may
 * put a new file name into @p new_name; its result is not used.
 *
 * The callback runs on the thread that called the bridge (the UI thread), in
 * the middle of the engine's work; it must not start another bridge operation
 * (the bridge refuses one while an operation runs).  Exceptions thrown by a
 * handler stop the operation and are rethrown by the bridge call once the
 * engine has returned.  No engine type appears here.
 */
#pragma once

#include <cstdint>
#include <string>

namespace bridge {

/// Notification codes of UiProgressCallback::notify().  Values are pinned.
enum Notification : uint32_t {
  kNotifyItemProgress = 256,     ///< progress within the current item
  kNotifyOverallProgress = 257,  ///< progress over the items; also the final report of a run
  kNotifyOverwrite = 272,        ///< an extracted file is about to be written
  kNotifyItemFound = 288,        ///< the archive listing found an item
};

/// Answers of the overwrite question (code 272), as the overwrite dialog gives them.
enum OverwriteAnswer : int32_t {
  kAnswerCancel = 2,  ///< stop the whole run
  kAnswerAll = 5,     ///< yes, and do not ask again during this run
  kAnswerYes = 6,
  kAnswerNo = 7,
};

/// What a 272 notification tells about the file about to be written.
struct OverwriteInfo {
  std::string stored_name;  ///< the item's name in the archive
  std::string output_path;  ///< where the engine will write it
  int32_t dos_date = 0;     ///< the item's DOS date (years from 1980, month, day)
  int32_t dos_time = 0;     ///< the item's DOS time (2-second units)
  int32_t attributes = 0;   ///< attribute bits the file will get (DOS: 0x01 read-only .. 0x20 archive)
  uint64_t size = 0;        ///< uncompressed size
};

class UiProgressCallback {
 public:
  virtual ~UiProgressCallback() = default;

  /// @param code         one of Notification.
  /// @param text         see the table above; may be null (272).
  /// @param value        see the table above.
  /// @param user_data    the engine's user-data word: identifies the running bridge call.
  /// @param item_info    272 only: the file about to be written; null otherwise.
  /// @param reserved1, reserved2  always 0.
  /// @param new_name     272 only (else null): empty on entry; a name put here makes the
  ///                     item be written under that name, in the same folder.
  /// @param in_out       an in/out string, unused by the bridge's notifications (null).
  /// @param answer       272 only (else null): the process-wide answer code.
  /// @return non-zero to stop (256, 257, 288); ignored for 272.
  virtual int32_t notify(uint32_t code, const char* text, int32_t value, void* user_data,
                         const OverwriteInfo* item_info, intptr_t reserved1, intptr_t reserved2,
                         std::string* new_name, std::string* in_out, int32_t* answer) = 0;
};

}  // namespace bridge
