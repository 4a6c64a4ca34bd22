/* tests/screenshots/archive_page_shots.cpp - pictures of the pick-archive and pick-folder pages. */
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSettings>

#include "bridge/engine_bridge.h"
#include "core/strings.h"
#include "shot_registry.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/welcome_page.h"

namespace {

/// A small archive made by the engine in the shot's folder.
QString make_archive(shots::ShotContext& ctx, const QString& name) {
  const QString folder = ctx.scratch_folder() + QStringLiteral("/Documents");
  QDir().mkpath(folder);
  for (const char* file : {"report.txt", "budget.ods", "notes.md"}) {
    QFile out(folder + QLatin1Char('/') + QLatin1String(file));
    if (out.open(QIODevice::WriteOnly)) out.write("Parvell shot\n");
  }
  const QString archive = ctx.scratch_folder() + QLatin1Char('/') + name;
  bridge::zip_run(core::load_string, nullptr, archive.toUtf8().constData(), (folder + "/*").toUtf8().constData(),
                  nullptr, nullptr, nullptr, nullptr, bridge::kZipAdd, bridge::kPathModeNoFolders, 7, 0, nullptr);
  return archive;
}

void store_history(const char* list, const QStringList& items) {
  QSettings history(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard"));
  for (int i = 0; i < items.size(); ++i)
    history.setValue(QStringLiteral("ComboBxEx/%1/Item%2").arg(QLatin1String(list)).arg(i), items[i]);
}

/// The wizard on the pick-archive page of @p run_mode; @p then runs on that page once shown.
QWidget* on_zip_page(shots::ShotContext& ctx, int run_mode, std::function<void(wizard::CPickZipFileName*)> then) {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  const QString origin = ctx.scratch_folder() + QStringLiteral("/Documents");
  welcome->set_add_files_hook([origin](QWidget*, core::OperationRecord& r) {
    r.originating_folder = origin.toStdString();
    r.selected_items = {{0, origin.toStdString() + "/report.txt"}, {1, origin.toStdString() + "/budget.ods"}};
    return true;
  });
  ctx.on_shown([sheet, welcome, run_mode, then] {
    welcome->radio(run_mode)->click();
    sheet->next();
    then(qobject_cast<wizard::CPickZipFileName*>(sheet->currentPage()));
  });
  return sheet;
}

void type(QComboBox* box, const QString& text) { box->setEditText(text); }

QComboBox* name_box(QWidget* page) { return page->findChild<QComboBox*>(QStringLiteral("comboZipFileName")); }

}  // namespace

PARVELL_SHOT(pick_zip_extract_empty, "The pick-archive page of an extraction with no name yet: the error verdict") {
  return on_zip_page(ctx, core::kRunModeExtract, [](wizard::CPickZipFileName*) {});
}

PARVELL_SHOT(pick_zip_extract_valid, "The pick-archive page of an extraction with a good archive, no folder picked") {
  const QString archive = make_archive(ctx, QStringLiteral("Documents.zip"));
  return on_zip_page(ctx, core::kRunModeExtract, [archive](wizard::CPickZipFileName* page) {
    type(name_box(page), archive);
    page->findChild<QAbstractButton*>(QStringLiteral("checkPickFolder"))->setChecked(false);
  });
}

PARVELL_SHOT(pick_zip_add_not_a_zip, "The pick-archive page of an add run naming a file that is no ZIP") {
  const QString junk = ctx.scratch_folder() + QStringLiteral("/holiday-photos.zip");
  QFile out(junk);
  if (out.open(QIODevice::WriteOnly)) out.write(QByteArray(400, 'j'));
  out.close();
  return on_zip_page(ctx, core::kRunModeAdd, [junk](wizard::CPickZipFileName* page) { type(name_box(page), junk); });
}

PARVELL_SHOT(pick_zip_create_history, "The pick-archive page of a new archive: the proposal, the history drop-down open") {
  store_history("ZipFileName", {"/home/user/Backups/photos-2025.zip", "/home/user/Projects/site.zip",
                                "/home/user/Documents.ZIP"});
  make_archive(ctx, QStringLiteral("unused.zip"));
  return on_zip_page(ctx, core::kRunModeCreate, [](wizard::CPickZipFileName* page) { name_box(page)->showPopup(); });
}

namespace {

QWidget* on_folder_page(shots::ShotContext& ctx, std::function<void(wizard::CPickUnZipFolderName*)> then) {
  const QString archive = make_archive(ctx, QStringLiteral("Documents.zip"));
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  ctx.on_shown([sheet, welcome, archive, then] {
    welcome->radio(core::kRunModeExtract)->click();
    sheet->next();
    auto* zip = qobject_cast<wizard::CPickZipFileName*>(sheet->currentPage());
    type(name_box(zip), archive);
    zip->set_continue_to_folder(true);
    sheet->next();
    then(qobject_cast<wizard::CPickUnZipFolderName*>(sheet->currentPage()));
  });
  return sheet;
}

QComboBox* folder_box(QWidget* page) { return page->findChild<QComboBox*>(QStringLiteral("comboUnZipFolder")); }

}  // namespace

PARVELL_SHOT(pick_folder_existing, "The pick-folder page naming a folder that exists") {
  const QString folder = ctx.scratch_folder();
  return on_folder_page(ctx, [folder](wizard::CPickUnZipFolderName* page) { type(folder_box(page), folder + "/"); });
}

PARVELL_SHOT(pick_folder_new, "The pick-folder page naming a folder the extraction will create") {
  const QString folder = ctx.scratch_folder() + QStringLiteral("/Extracted Documents");
  return on_folder_page(ctx, [folder](wizard::CPickUnZipFolderName* page) { type(folder_box(page), folder); });
}

PARVELL_SHOT(pick_folder_empty_history, "The pick-folder page with an empty name and its history drop-down open") {
  store_history("UnZipPaths", {"/home/user/Downloads", "/tmp/unpacked", "/home/user/Work/imports"});
  return on_folder_page(ctx, [](wizard::CPickUnZipFolderName* page) {
    type(folder_box(page), QString());
    folder_box(page)->showPopup();
  });
}
