/* tests/screenshots/shot_registry.h - the pictures scripts/screenshots makes, one registered shot each.
 *
 * A shot builds the real windows of the program in a given state and names
 * the window to photograph.  Adding a picture is one function in a file of
 * this folder:
 *
 *   PARVELL_SHOT(welcome_page, "The welcome page of a first start") {
 *     auto* sheet = ctx.start_wizard({});
 *     return sheet;                         // shown, settled and grabbed by the runner
 *   }
 *
 * The runner (screenshots_main.cpp) shows the window on the X server, lets
 * it settle, runs the shot's optional prepare step, grabs the screen area of
 * the window and of any popup it opened, and writes OUTDIR/<name>.png.  It
 * fails a shot whose window does not fit on the 1024x768 screen and reports
 * buttons and labels narrower than their text.
 */
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/operation_record.h"
#include "log/task_log.h"

class QWidget;

namespace app {
class ProgramStart;
}
namespace wizard {
class CMyResizePropSheet;
}

namespace shots {

/// What a shot may use; everything it makes lives until its picture is taken.
class ShotContext {
 public:
  ShotContext();
  ~ShotContext();

  core::OperationRecord& record() { return m_record; }
  /// A fresh empty folder for the shot's files.
  QString scratch_folder() const { return m_scratch; }

  /// Program start with @p arguments, as `parvell ARGUMENTS` would do it; the
  /// help pages are those of the build tree.  @return its sheet (not shown yet).
  wizard::CMyResizePropSheet* start_wizard(const QStringList& arguments);

  /// Runs after the window was shown and settled, before the grab.
  void on_shown(std::function<void()> prepare) { m_prepare = std::move(prepare); }
  void run_prepare() const {
    if (m_prepare) m_prepare();
  }

  /// Takes the picture at once, from inside whatever is running (a run's
  /// progress report, say); the runner then takes no picture of its own.
  void capture_now() {
    if (m_capture && !m_captured) m_captured = m_capture();
  }
  /// The runner's way to take the picture; @return whether one was taken.
  void set_capture(std::function<bool()> capture) { m_capture = std::move(capture); }
  bool captured() const { return m_captured; }

  /// Keeps @p object alive until the picture is taken.
  void keep(std::shared_ptr<void> object) { m_kept.push_back(std::move(object)); }

 private:
  core::OperationRecord m_record;
  tasklog::TaskLog m_log;
  QString m_scratch;
  std::unique_ptr<app::ProgramStart> m_start;
  std::function<void()> m_prepare;
  std::function<bool()> m_capture;
  bool m_captured = false;
  std::vector<std::shared_ptr<void>> m_kept;
};

/// Builds the shot's windows and returns the one to photograph.
using ShotBuilder = QWidget* (*)(ShotContext& ctx);

struct Shot {
  const char* name;
  const char* description;
  ShotBuilder build;
};

/// Every registered shot, sorted by name.
std::vector<Shot>& all_shots();

struct Registrar {
  Registrar(const char* name, const char* description, ShotBuilder build) {
    all_shots().push_back({name, description, build});
  }
};

}  // namespace shots

#define PARVELL_SHOT(name, description)                                            \
  static QWidget* shot_##name(shots::ShotContext& ctx);                            \
  static const shots::Registrar registrar_##name(#name, description, shot_##name); \
  static QWidget* shot_##name(shots::ShotContext& ctx)
