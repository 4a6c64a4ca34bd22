/* tests/screenshots/add_files_shots.cpp - pictures of the add-files dialog and the extra-parameters page. */
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "platform/qt/settings_store.h"
#include "shot_registry.h"
#include "wizard/add_files_dialog.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/welcome_page.h"

namespace {

using wizard::CAddFilesDlg;

/// A folder of a user's documents: three folders and 30 files of several kinds.
QString documents(shots::ShotContext& ctx) {
  const QString folder = ctx.scratch_folder() + QStringLiteral("/Documents");
  for (const char* sub : {"Invoices 2025", "Photos", "Old"}) QDir().mkpath(folder + QLatin1Char('/') + QLatin1String(sub));
  const char* kinds[] = {".txt", ".pdf", ".png", ".odt", ".csv"};
  for (int i = 0; i < 30; ++i) {
    QFile file(folder + QStringLiteral("/report %1%2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(QLatin1String(kinds[i % 5])));
    if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(1024 * (i + 1), 'x'));
  }
  return folder;
}

/// The dialog on the documents folder in @p view, with two items selected once the list is there.
QWidget* dialog_in_view(shots::ShotContext& ctx, int view) {
  const QString folder = documents(ctx);
  platform::SettingsStore store(false);
  store.write_string(QStringLiteral("Settings"), QString::fromLatin1(CAddFilesDlg::kFolderValue), folder);
  store.write_int(QStringLiteral("Settings"), QString::fromLatin1(CAddFilesDlg::kViewStyleValue), view);
  auto dialog = std::make_shared<CAddFilesDlg>(ctx.record());
  ctx.keep(dialog);
  CAddFilesDlg* shown = dialog.get();
  ctx.on_shown([shown, folder] {
    if (!QTest::qWaitFor([&] { return shown->model()->rowCount(shown->active_view()->rootIndex()) == 33; }))
      qWarning("add files: the Documents listing never reached its 33 rows; the picture shows it part-filled");
    for (const char* name : {"Old", "report 02.pdf"}) {
      shown->active_view()->selectionModel()->select(shown->model()->index(folder + QLatin1Char('/') + QLatin1String(name)),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    shown->active_view()->setFocus();
  });
  return shown;
}

/// The wizard on the extra-parameters page, monitoring as given.
QWidget* extra_page(shots::ShotContext& ctx, bool monitoring) {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  welcome->set_add_files_hook([](QWidget*, core::OperationRecord& record) {
    record.selected_items = {{0, "/home/u/Documents/Old"}, {1, "/home/u/Documents/report 02.pdf"}};
    return true;
  });
  auto* pick = qobject_cast<wizard::CPickZipFileName*>(sheet->page(wizard::kPagePickZipFile));
  ctx.on_shown([sheet, welcome, pick, monitoring] {
    if (monitoring) welcome->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"))->click();
    pick->set_archive_state(QStringLiteral("/home/u/Documents.zip"), true);
    sheet->next();
    sheet->next();
    if (monitoring) sheet->findChild<QAbstractButton*>(QStringLiteral("checkAllowLog"))->click();
    // Tab away and back, as a keyboard user would: the focus frame shows.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  });
  return sheet;
}

}  // namespace

PARVELL_SHOT(add_files_details, "The add-files dialog in the details view: a folder with 30 files, two items selected") {
  return dialog_in_view(ctx, CAddFilesDlg::kViewDetails);
}

PARVELL_SHOT(add_files_large_icons, "The add-files dialog with large icons") {
  return dialog_in_view(ctx, CAddFilesDlg::kViewLargeIcons);
}

PARVELL_SHOT(add_files_list_menu, "The add-files dialog in the list view with its view menu open") {
  QWidget* dialog = dialog_in_view(ctx, CAddFilesDlg::kViewList);
  auto* shown = static_cast<CAddFilesDlg*>(dialog);
  const QString folder = ctx.scratch_folder() + QStringLiteral("/Documents");
  ctx.on_shown([shown, folder] {
    if (!QTest::qWaitFor([&] { return shown->model()->rowCount(shown->active_view()->rootIndex()) == 33; }))
      qWarning("add files: the Documents listing never reached its 33 rows; the picture shows it part-filled");
    auto* button = shown->findChild<QToolButton*>(QStringLiteral("viewButton"));
    button->menu()->popup(button->mapToGlobal(QPoint(0, button->height())));
  });
  return dialog;
}

PARVELL_SHOT(extra_parameters_monitoring_off, "The extra-parameters page without monitoring: the task's options greyed") {
  return extra_page(ctx, false);
}

PARVELL_SHOT(extra_parameters_monitoring_on, "The extra-parameters page with monitoring and the log checked") {
  return extra_page(ctx, true);
}
