/* dialogs/system_info_sources.h - where the system information report's values come from.
 *
 * Each section of the report has one source behind a small interface: the
 * computer (platform::SystemIdentity), the browser (platform::BrowserSource),
 * the processor (platform::CpuidSource) and the screen (ScreenSource, over
 * QScreen).  The dialog gathers from the real ones; a test hands in stand-ins
 * and gets a report from fixed inputs.
 */
#pragma once

#include <optional>

#include "dialogs/system_info_report.h"

namespace platform {
class BrowserSource;
class CpuidSource;
class SystemIdentity;
}  // namespace platform

namespace dialogs {

/// The primary screen.  Abstract so a test can stand in a screen or none.
class ScreenSource {
 public:
  virtual ~ScreenSource() = default;
  /// The primary screen's size in pixels, or nullopt when there is no screen.
  virtual std::optional<DisplaySettings> primary_screen() const = 0;
};

/// The application's primary QScreen (nullopt while there is none).
const ScreenSource& qt_screens();

struct SystemInfoSources {
  const platform::SystemIdentity* system;
  const platform::BrowserSource* browser;
  const platform::CpuidSource* cpu;
  const ScreenSource* screen;
};

/// The sources of this computer.
SystemInfoSources this_computer_sources();

/// Asks every source once and gathers the answers for the report.
SystemInfoInputs gather_system_info(const SystemInfoSources& sources);

}  // namespace dialogs
