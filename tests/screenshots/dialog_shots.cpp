/* tests/screenshots/dialog_shots.cpp - pictures of the about box and the system information report. */
#include <memory>

#include "dialogs/about_box.h"
#include "dialogs/system_info_dialog.h"
#include "shot_registry.h"

PARVELL_SHOT(about_box, "The about box as the wizard opens it: engine, build, places, the help link enabled") {
  ctx.start_wizard({});  // the wizard installs the help the link opens
  auto box = std::make_shared<dialogs::AboutBox>();
  ctx.keep(box);
  return box.get();
}

PARVELL_SHOT(system_info, "The system information report of this machine") {
  auto report = std::make_shared<dialogs::SystemInfoDialog>();
  ctx.keep(report);
  return report.get();
}
