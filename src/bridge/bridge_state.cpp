/* bridge/bridge_state.cpp - the process-wide bridge state and the frame of one operation. */
#include "bridge/bridge_state.h"

#include <cstring>

namespace bridge {

static_assert(kUnzipBusy == OU_BUSY, "the bridge's busy code is the unzip side's");

BridgeState& bridge_state() {
  static BridgeState state;
  return state;
}

void EngineBridge::clear() {
  std::memset(&zip, 0, sizeof zip);
  std::memset(&unzip, 0, sizeof unzip);
  std::memset(&info, 0, sizeof info);
  info_terminator = 0;
  record_text.clear();
  return_count = 0;
}

OperationFrame::~OperationFrame() {
  if (!m_running) return;
  BridgeState& state = bridge_state();
  state.callback = nullptr;
  state.operation_running = false;
}

int32_t OperationFrame::begin(EngineSide side) {
  BridgeState& state = bridge_state();
  if (state.operation_running) return side == EngineSide::kZip ? int32_t{OZ_BUSY} : int32_t{OU_BUSY};
  state.operation_running = true;
  m_running = true;
  state.callback = nullptr;
  state.answer = 0;
  state.last_item_text.clear();
  state.last_item_value = 0;
  OstranaEngineStart();
  return side == EngineSide::kZip ? OstranaZipStateCreate() : OstranaUnzipStateCreate();
}

void OperationFrame::set_callback(UiProgressCallback* callback) { bridge_state().callback = callback; }

}  // namespace bridge
