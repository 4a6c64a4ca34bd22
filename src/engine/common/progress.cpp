/* engine/common/progress.cpp - the major and minor status callbacks, and their percents. */
#include "engine/common/progress.h"

#include "platform/event_pump.h"

namespace ostrana {

int item_percent(uint64_t n, uint64_t total) {
  if (total == 0) return 0;
  uint64_t p = total < 100001 ? (n * 100) / total : n / (total / 100);
  return p > 100 ? 100 : static_cast<int>(p);
}

int byte_percent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  unsigned __int128 p = static_cast<unsigned __int128>(done) * 100 / total;
  return static_cast<int>(p);
}

void StatusReporter::setup(const Setup& setup) {
  m_setup = setup;
  m_last_text.clear();
  m_last_percent = 0;
}

int StatusReporter::major(const char* text, int percent) {
  m_last_text = text ? text : "";
  m_last_percent = percent;
  return major_poll();
}

int StatusReporter::major_poll() {
  if (m_setup.major == nullptr) return 0;
  int answer = m_setup.major(m_last_text.c_str(), m_last_percent, m_setup.major_data);
  if (m_setup.pump) platform::pump_events();
  return answer != 0 && m_setup.major_cancels ? m_setup.cancel_code : 0;
}

int StatusReporter::minor(const char* text, int percent) {
  if (m_setup.minor == nullptr) return 0;
  int answer = m_setup.minor(text ? text : "", percent, m_setup.minor_data);
  if (m_setup.pump) platform::pump_events();
  return answer != 0 && m_setup.minor_cancels ? m_setup.cancel_code : 0;
}

}  // namespace ostrana
