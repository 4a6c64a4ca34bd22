/* dialogs/system_info_sources.cpp - the report's values, asked of each source once. */
#include "dialogs/system_info_sources.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/cpu_identification.h"
#include "platform/default_browser.h"
#include "platform/system_identity.h"

namespace dialogs {
namespace {

class QtScreens final : public ScreenSource {
 public:
  std::optional<DisplaySettings> primary_screen() const override {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return std::nullopt;
    // Device pixels: on a scaled desktop the logical size is smaller.
    const QSize pixels = screen->size() * screen->devicePixelRatio();
    DisplaySettings s;
    s.bits_per_pixel = screen->depth();
    s.pixel_width = pixels.width();
    s.pixel_height = pixels.height();
    s.refresh_hz = qRound(screen->refreshRate());
    return s;
  }
};

}  // namespace

const ScreenSource& qt_screens() {
  static const QtScreens screens;
  return screens;
}

SystemInfoSources this_computer_sources() {
  return {&platform::this_system(), &platform::this_desktop(), &platform::this_processor(), &qt_screens()};
}

SystemInfoInputs gather_system_info(const SystemInfoSources& sources) {
  SystemInfoInputs in;
  in.user_name = sources.system->user_name();
  in.computer_name = sources.system->computer_name();
  in.processor_count = sources.system->processor_count();
  in.os_line = os_version_line(sources.system->os_pretty_name(), sources.system->kernel_release());
  in.browser = sources.browser->default_browser_version();
  in.processor = identify_processor(*sources.cpu);
  in.display = sources.screen->primary_screen();
  if (in.display) {
    in.screen_width = in.display->pixel_width;
    in.screen_height = in.display->pixel_height;
  }
  return in;
}

}  // namespace dialogs
