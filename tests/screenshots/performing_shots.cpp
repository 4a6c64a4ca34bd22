/* tests/screenshots/performing_shots.cpp - pictures of the performing page and of the run's two dialogs.
 *
 * The page is reached through the real wizard (run_walk.h) and runs the real
 * engine over files in the shot's scratch folder; the picture during the run
 * is taken from inside the run's progress reports, half way through a large
 * file.  Stop is answered through the message-box seam, and nothing is handed
 * to the desktop.
 */
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <string>

#include "../wizard/run_walk.h"
#include "dialogs/message_boxes.h"
#include "platform/qt/desktop_open.h"
#include "shot_registry.h"
#include "wizard/overwrite_dialog.h"
#include "wizard/password_dialog.h"

namespace {

/// Writes @p bytes of text-like data (compressible, not trivially) to @p path.
void write_file(const QString& path, size_t bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  std::ofstream out(path.toStdString(), std::ios::binary);
  std::string line;
  for (size_t written = 0, n = 0; written < bytes; written += line.size(), ++n) {
    line = "row " + std::to_string(n * 7919 % 100003) + " of the quarterly figures, column " + std::to_string(n % 17) + "\n";
    out << line;
  }
}

/// A source tree of a few small files and, when @p large_bytes is not 0, one large one.
QString make_sources(shots::ShotContext& ctx, size_t large_bytes) {
  const QString root = ctx.scratch_folder() + QStringLiteral("/Reports 2026");
  write_file(root + QStringLiteral("/summary.txt"), 20000);
  write_file(root + QStringLiteral("/q1/january.csv"), 60000);
  write_file(root + QStringLiteral("/q1/february.csv"), 60000);
  if (large_bytes != 0) write_file(root + QStringLiteral("/q2/ledger-full-export.csv"), large_bytes);
  return root;
}

/// Stop is answered Yes through the seam and nothing reaches the desktop, for the shot's life.
void answer_for_the_user(shots::ShotContext& ctx) {
  dialogs::set_box_presenter([](QWidget*, const dialogs::BoxRequest& r) {
    return r.buttons == dialogs::BoxButtons::kYesNo ? dialogs::kBoxYes : dialogs::kBoxOk;
  });
  platform::set_desktop_runner([](const QString&, const QStringList&) { return 0; });
  ctx.keep(std::shared_ptr<void>(nullptr, [](void*) {
    dialogs::set_box_presenter(nullptr);
    platform::set_desktop_runner(nullptr);
  }));
}

int item_percent(QWidget* page) {
  return page->findChild<QLabel*>(QStringLiteral("ItemPercent"))->text().trimmed().chopped(1).toInt();
}
bool on_large_file(QWidget* page) {
  return page->findChild<QLabel*>(QStringLiteral("ItemName"))->toolTip().endsWith(QStringLiteral("export.csv"));
}

/// The wizard led into a zip run of @p sources; @p while_running (if any) is
/// polled inside the run's progress reports until it returns true.
wizard::CMyResizePropSheet* zip_run(shots::ShotContext& ctx, const QString& sources,
                                    std::function<bool(wizard::CTovanelExplWizCallBack*)> while_running = nullptr,
                                    const QString& extra_item = QString()) {
  answer_for_the_user(ctx);
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  const QString archive = ctx.scratch_folder() + QStringLiteral("/Reports 2026.zip");
  ctx.on_shown([&ctx, sheet, sources, archive, while_running, extra_item] {
    runwalk::Choice choice;
    choice.mode = core::kRunModeCreate;
    choice.archive = archive;
    choice.source_folder = sources;
    choice.extra_item = extra_item;
    wizard::CTovanelExplWizCallBack* page = runwalk::walk_to_run(*sheet, ctx.record(), choice);
    if (page == nullptr) return;
    if (while_running) {
      auto* poll = new QTimer(page);
      poll->setInterval(0);
      QObject::connect(poll, &QTimer::timeout, page, [poll, page, while_running] {
        poll->stop();  // not again while it works (a picture taken lets events run)
        if (!while_running(page)) poll->start();
      });
      poll->start();
    }
    (void)QTest::qWaitFor([page] { return page->completed(); }, 120000);
  });
  return sheet;
}

void press_stop(wizard::CTovanelExplWizCallBack* page) {
  if (auto* sheet = qobject_cast<QWizard*>(page->window())) sheet->button(QWizard::FinishButton)->click();
}

}  // namespace

PARVELL_SHOT(performing_half_way, "The performing page half way through a large file: item and total progress") {
  const QString sources = make_sources(ctx, 64u << 20);
  return zip_run(ctx, sources, [&ctx](wizard::CTovanelExplWizCallBack* page) {
    if (!on_large_file(page) || item_percent(page) < 50) return false;
    ctx.capture_now();
    press_stop(page);  // the picture is taken: no need to pack the rest
    return true;
  });
}

PARVELL_SHOT(performing_success, "The performing page after a new archive was made: outcome, Email and Open, Done") {
  return zip_run(ctx, make_sources(ctx, 0));
}

PARVELL_SHOT(performing_errors, "The performing page after a run that named a file gone missing: errors and the reason") {
  const QString sources = make_sources(ctx, 0);
  return zip_run(ctx, sources, nullptr, ctx.scratch_folder() + QStringLiteral("/Reports 2026/moved away.txt"));
}

PARVELL_SHOT(performing_stopped, "The performing page after Stop answered Yes during a large file") {
  const QString sources = make_sources(ctx, 48u << 20);
  return zip_run(ctx, sources, [](wizard::CTovanelExplWizCallBack* page) {
    if (!on_large_file(page) || item_percent(page) < 30) return false;
    press_stop(page);
    return true;
  });
}

PARVELL_SHOT(overwrite_dialog, "The overwrite question for a file that exists, its name prefilled for Rename") {
  const QString existing = ctx.scratch_folder() + QStringLiteral("/Reports 2026/q1/january.csv");
  write_file(existing, 100);
  auto dialog = std::make_shared<wizard::CTovanelAskUsrCallback>(existing);
  ctx.keep(dialog);
  return dialog.get();
}

PARVELL_SHOT(password_dialog, "The password question for an archive with encrypted items, a password typed") {
  auto dialog = std::make_shared<wizard::CTovanelPasswrdCallback>();
  ctx.keep(dialog);
  QWidget* window = dialog.get();
  ctx.on_shown([window] {
    if (auto* edit = window->findChild<QLineEdit*>(QStringLiteral("PasswordEdit"))) {
      edit->setFocus();
      QTest::keyClicks(edit, QStringLiteral("secret"));
    }
  });
  return window;
}
