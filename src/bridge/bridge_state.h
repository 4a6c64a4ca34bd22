/* bridge/bridge_state.h - what the engine bridge keeps between the calls of one operation.
 *
 * Two kinds of state.  The bridge object (EngineBridge) exists once per
 * operation call, on the stack of that call: the command records, the
 * item-information buffer, the texts the records point to.  The process-wide
 * state below outlives the call: the UI callback of the running operation
 * (null outside one), the last overwrite answer, the text and value of the
 * engine's last major progress report, the split-size array handed to the
 * engine, and the statistics of the most recent listing (the performing page
 * asks about them long after the pick-archive page listed the archive).
 *
 * Everything lives on the UI thread; one operation runs at a time.
 */
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "bridge/engine_bridge.h"
#include "bridge/ui_progress.h"
#include "ostrana.h"

namespace bridge {

struct BridgeState {
  UiProgressCallback* callback = nullptr;  ///< the running operation's; null outside one
  int32_t answer = 0;                      ///< last overwrite answer; 0 at the start of an operation
  std::string last_item_text;              ///< text of the last major progress report
  int32_t last_item_value = 0;             ///< and its value
  uint32_t split_sizes[2] = {0, 0};        ///< part size, 0: the engine's pulFileSizeArray
  ListingStatistics statistics;            ///< of the most recent listing
  bool operation_running = false;          ///< refuses a second operation inside the first
};

/// The process-wide state.
BridgeState& bridge_state();

/// The bridge object of one operation call.  It holds the command records and
/// everything they point to, so it is neither copied nor moved.
struct EngineBridge {
  explicit EngineBridge(ProgramInstance program, int32_t overwrite = kOverwriteAsk)
      : instance(program), overwrite_mode(overwrite) {}
  EngineBridge(const EngineBridge&) = delete;
  EngineBridge& operator=(const EngineBridge&) = delete;
  ~EngineBridge() { clear(); }

  /// Zeroes the records and the buffer and drops the texts.
  void clear();

  ProgramInstance instance = nullptr;
  int32_t overwrite_mode = kOverwriteAsk;  ///< OverwriteMode; All switches it to kOverwriteAll
  int32_t return_count = 0;                ///< the engine's last returnCount
  ZIPCMDSTRUCT zip{};
  UNZIPCMDSTRUCT unzip{};
  ZIPINFOEX info{};                        ///< item information of the listing
  uint16_t info_terminator = 0;            ///< keeps a NUL after the buffer, whatever the engine writes
  std::string record_text;                 ///< the item list or patterns the record points to
  std::exception_ptr callback_error;       ///< first exception a UI handler threw
};

/// Which engine side an operation drives.
enum class EngineSide { kZip, kUnzip };

/// The frame of one operation call: begin() refuses an operation inside a
/// running one, resets the process-wide callback pointer, answer code and last
/// item text, and gives the calling thread a fresh engine state of the side;
/// the destructor sets the callback pointer back to null and ends the operation.
class OperationFrame {
 public:
  OperationFrame() = default;
  OperationFrame(const OperationFrame&) = delete;
  OperationFrame& operator=(const OperationFrame&) = delete;
  ~OperationFrame();

  /// @return 0; the side's busy code (zip 1, unzip 45) while another operation
  /// runs; or the engine's code when it has no fresh state to give.
  int32_t begin(EngineSide side);

  /// Stores the operation's UI callback (after the engine state is ready).
  void set_callback(UiProgressCallback* callback);

 private:
  bool m_running = false;
};

}  // namespace bridge
