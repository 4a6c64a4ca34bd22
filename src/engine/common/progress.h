/* engine/common/progress.h - the major and minor status callbacks, and their percents.
 *
 * Both sides report progress the same way: a major report before each item
 * ("Item 3 of 10") and minor reports while an item's bytes are processed.
 * Whether a non-zero answer stops the run depends on the caller's record: a
 * level-100 record's major answers are ignored, and minor answers count only
 * from level 200 with the side's option bit 1.  After each report the
 * application's events are pumped unless the run's options say not to.
 *
 * The writer and the extraction report through one StatusReporter that the
 * entry sets up for the run.
 */
#pragma once

#include <cstdint>
#include <string>

#include "ostrana_callbacks.h"

namespace ostrana {

/// Percent of item @p n of @p total: (n * 100) / total below 100,001 items,
/// n / (total / 100) from there on (as the engine always did), capped at 100;
/// 0 when @p total is 0.
int item_percent(uint64_t n, uint64_t total);

/// Percent of @p done bytes of @p total, without overflow for any 64-bit
/// sizes, capped at 100; 0 when @p total is 0.
int byte_percent(uint64_t done, uint64_t total);

class StatusReporter {
 public:
  struct Setup {
    OSTRANA_STATUS_PROC major = nullptr;
    void* major_data = nullptr;
    OSTRANA_STATUS_PROC minor = nullptr;
    void* minor_data = nullptr;
    bool major_cancels = false;  ///< level 200 and above
    bool minor_cancels = false;  ///< level 200 and above with option bit 1
    bool pump = true;            ///< option bit 14 clear
    int cancel_code = 0;         ///< the side's code for a cancel (zip 9, unzip 48)
  };

  void setup(const Setup& setup);
  void clear() { *this = StatusReporter(); }

  /// Major report.  @return 0 to go on, or the cancel code.
  int major(const char* text, int percent);
  /// Polls the major callback with the last text and percent (between blocks).
  int major_poll();
  /// Minor report.  @return 0 to go on, or the cancel code.
  int minor(const char* text, int percent);

  const std::string& last_major_text() const { return m_last_text; }
  int last_major_percent() const { return m_last_percent; }

 private:
  Setup m_setup;
  std::string m_last_text;
  int m_last_percent = 0;
};

}  // namespace ostrana
