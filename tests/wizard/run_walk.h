/* tests/wizard/run_walk.h - leads the real wizard from its welcome page into the run.
 *
 * Used by the end-to-end tests and by the pictures of the performing page.
 * The walk does what a user does: the operation's radio button, then on each
 * page its boxes and Next (or Finish).  It types the archive name into
 * "comboZipFileName", the folder into "comboUnZipFolder", sets
 * "checkPickFolder" and "checkFasterCompression", and waits for each page's
 * check to enable Next.  Where a page does not have such a control, its
 * outcome is set through the page's own state instead (the pick pages'
 * set_archive_state/set_continue_to_folder/set_folder_text, the record's
 * faster compression).  The add-files dialog is answered through the welcome
 * page's hook: it selects a whole folder.
 */
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>
#include <QTest>

#include "core/operation_record.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/performing_page.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/welcome_page.h"

namespace runwalk {

/// What the user chooses on the way.
struct Choice {
  int mode = core::kRunModeCreate;  ///< create, add or extract
  QString archive;                  ///< the archive's path
  QString source_folder;            ///< create and add: the folder selected whole
  QString destination;              ///< extract: the folder picked; empty: the default folder
  bool faster = false;              ///< faster compression (level 3 instead of 7)
  QString extra_item;               ///< create and add: one more item, named alone
};

/// Types @p text into the editable box @p name of @p page, replacing what it held.
/// @return false when the page has no such box.
inline bool type_into(QWidget& page, const char* name, const QString& text) {
  auto* box = page.findChild<QComboBox*>(QString::fromLatin1(name));
  if (box == nullptr || box->lineEdit() == nullptr) return false;
  QLineEdit* edit = box->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
  return true;
}

/// Sets the check box @p name of @p page to @p on by clicking it.  @return false without one.
inline bool set_check(QWidget& page, const char* name, bool on) {
  auto* box = page.findChild<QCheckBox*>(QString::fromLatin1(name));
  if (box == nullptr) return false;
  if (box->isChecked() != on && box->isEnabled()) box->click();
  return true;
}

/// Clicks through the shown @p sheet.  @return the performing page once it is
/// current (its run then starts by itself), or nullptr where the walk stopped.
inline wizard::CTovanelExplWizCallBack* walk_to_run(wizard::CMyResizePropSheet& sheet,
                                                    core::OperationRecord& record, const Choice& choice) {
  auto* welcome = sheet.findChild<wizard::CWelcomePage*>(QStringLiteral("CWelcomePage"));
  auto* pick = sheet.findChild<wizard::CPickZipFileName*>(QStringLiteral("CPickZipFileName"));
  auto* folder = sheet.findChild<wizard::CPickUnZipFolderName*>(QStringLiteral("CPickUnZipFolderName"));
  if (welcome == nullptr || pick == nullptr || folder == nullptr) return nullptr;
  const std::string source = choice.source_folder.toStdString();
  const std::string extra = choice.extra_item.toStdString();
  welcome->set_add_files_hook([source, extra](QWidget*, core::OperationRecord& r) {
    r.originating_folder = source;
    r.file_list = "\"" + source + "/*.*\" ";
    if (!extra.empty()) r.file_list += "\"" + extra + "\" ";
    r.selected_items = {{0, source}};
    return true;
  });
  welcome->radio(choice.mode)->click();

  for (int step = 0; step < 8 && sheet.currentId() != wizard::kPagePerforming; ++step) {
    QAbstractButton* next = sheet.button(QWizard::NextButton);
    QAbstractButton* finish = sheet.button(QWizard::FinishButton);
    switch (sheet.currentId()) {
      case wizard::kPagePickZipFile:
        if (!type_into(*pick, "comboZipFileName", choice.archive)) pick->set_archive_state(choice.archive, true);
        if (!set_check(*pick, "checkPickFolder", !choice.destination.isEmpty()))
          pick->set_continue_to_folder(!choice.destination.isEmpty());
        break;
      case wizard::kPagePickUnzipFolder:
        if (!type_into(*folder, "comboUnZipFolder", choice.destination)) folder->set_folder_text(choice.destination);
        break;
      case wizard::kPageExtraParameters:
        if (!set_check(*sheet.currentPage(), "checkFasterCompression", choice.faster))
          record.faster_compression = choice.faster ? 1 : 0;
        break;
      default:
        break;
    }
    // The page's check may take a moment (an archive is listed): Next or Finish, once enabled.
    const auto usable = [](QAbstractButton* b) { return b->isVisible() && b->isEnabled(); };
    (void)QTest::qWaitFor([&] { return usable(next) || usable(finish); }, 20000);
    QAbstractButton* press = usable(next) ? next : finish;
    if (!usable(press)) return nullptr;
    const int before = sheet.currentId();
    press->click();
    if (sheet.currentId() == before) return nullptr;  // a page refused to be left
  }
  return sheet.findChild<wizard::CTovanelExplWizCallBack*>(QStringLiteral("CTovanelExplWizCallBack"));
}

}  // namespace runwalk
