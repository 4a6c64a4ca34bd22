/* platform/default_browser.h - the version of the desktop's default web browser.
 *
 * The desktop names its default browser through `xdg-settings get
 * default-web-browser` (a desktop entry such as "firefox-esr.desktop").  The
 * entry is looked up in the XDG data folders ($XDG_DATA_HOME, then
 * $XDG_DATA_DIRS, each + "/applications"), and the program its Exec line
 * starts is asked `--version` only when it is a browser known to answer
 * that without opening a window; any other browser stays unasked.  Every
 * helper runs under a time limit, so a dialog that shows the answer cannot
 * hang on it.
 */
#pragma once

#include <optional>
#include <string>

namespace platform {

/// A browser's version as major.minor.build ("120.0.6099.224" is 120, 0, 6099).
struct BrowserVersion {
  long major = 0;
  long minor = 0;
  long build = 0;
};

/// Abstract so that a test can stand a desktop of its own in for this one.
class BrowserSource {
 public:
  virtual ~BrowserSource() = default;
  /// The default browser's version; nullopt when there is no default browser,
  /// it cannot be asked without a window, or it does not answer.
  virtual std::optional<BrowserVersion> default_browser_version() const = 0;
};

/// This desktop.
const BrowserSource& this_desktop();

/// The first dotted number in @p text ("Mozilla Firefox 115.6.0esr" gives
/// 115, 6, 0; a missing part is 0); nullopt when it holds no number.
std::optional<BrowserVersion> parse_browser_version(const std::string& text);

/// The program a desktop entry's Exec line starts (its first word, quotes
/// removed, an `env VAR=...` prefix skipped); "" when the entry has none.
std::string desktop_entry_program(const std::string& entry_text);

/// True when the program named @p program (a path or a bare name) is a
/// browser that prints its version for `--version` without opening a window.
bool answers_version_without_window(const std::string& program);

}  // namespace platform
