/* dialogs/system_info_report.h - the text of the system information report.
 *
 * The report is built from plain values (SystemInfoInputs) in a fixed order
 * with fixed texts, its lines joined by CR LF, so that the same inputs always
 * give the same text: computer, processors, operating system, browser,
 * processor identification and clock, screen resolution and colours.  Where
 * the values come from is system_info_sources.h; this file only formats.
 */
#pragma once

#include <optional>
#include <string>

#include "dialogs/processor_identification.h"
#include "platform/default_browser.h"

namespace dialogs {

/// The current display settings of the primary screen.
struct DisplaySettings {
  int bits_per_pixel = 0;
  int pixel_width = 0;
  int pixel_height = 0;
  int refresh_hz = 0;
};

struct SystemInfoInputs {
  std::optional<std::string> user_name;      ///< nullopt: could not be read
  std::optional<std::string> computer_name;  ///< nullopt: could not be read
  int processor_count = 1;
  std::string os_line = "Running on <Unknown OS Version>";
  std::optional<platform::BrowserVersion> browser;  ///< nullopt: not known
  ProcessorIdentification processor;
  int screen_width = 0;   ///< primary screen in pixels (0 without a screen)
  int screen_height = 0;
  std::optional<DisplaySettings> display;  ///< nullopt: the settings cannot be read
};

/// Longest user or computer name the report shows; a longer one is "N/A",
/// as for a name that its 260-character buffer could not take.
inline constexpr size_t kMaxReportedNameLength = 259;

/// The report's text, lines separated by "\r\n".
std::string build_system_info_report(const SystemInfoInputs& inputs);

/// The operating-system line: "Running on <distribution>, kernel <release>",
/// either part left out when unknown, "Running on <Unknown OS Version>" when
/// both are.
std::string os_version_line(const std::string& pretty_name, const std::string& kernel_release);

}  // namespace dialogs
