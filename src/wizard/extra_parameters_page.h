/* wizard/extra_parameters_page.h - the extra-parameters page: options of the zip run and of the task.
 *
 * Two groups.  "Additional ZIP Parameters": "&Faster Compression (slightly
 * bigger archive)" (faster compression: level 3 instead of 7) and "&Delete
 * files after Zipping" (delete after).  "Additional Morvane &Monitoring
 * Features", with its icon: "&Prevent Morvane Info Tampering" (the task file
 * is written protected), "&Log Morvane Results Using HTML File:" (log
 * enabled), the log file name and "&Browse" for it (filter "Morvane Log files
 * (*.log.html)", starting in the folder of the name in the box).  Every
 * control writes its record field at once; each has its tip (strings 621 to
 * 626).
 *
 * The monitoring group is usable only when the user asked for monitoring on
 * the welcome page; otherwise its controls are disabled and its icon greyed,
 * and their values stay as they were.  The name box and Browse are usable
 * only while the log box is checked.
 *
 * Remembered: "UseFasterCompression", "DeleteFilesAfterZIP",
 * "MorvanePreventTampering", "Morvane_AllowLog" and "Morvane_LogFileName"
 * (default "MorvaneInfo.log"), read into the record at construction and
 * written from it at destruction, neither in a scheduled run.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  The page offers Finish without monitoring (it leads to the
 * performing page; the sheet stays open) and Next with monitoring (to the
 * task page).  With delete after on, leaving asks first, with the number of
 * selected items:
 *   Finish: a Yes/No question ("Warning!", string 121);
 *   Next:   the "DeleteZippedFiles" warning ("Warning!", string 364), which the
 *           user may switch off for good.
 * No keeps the user on the page.
 */
#pragma once

#include <functional>

#include "wizard/resize_prop_page.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wizard {

class CSetExtraParametersPg : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPageExtraParameters;
  static constexpr char kCaption[] = "Parvell Wizard - Additional ZIP Parameters";
  static constexpr char kHelpTopic[] = "wizard_addparampage.html";
  static constexpr char kDeleteWarningValue[] = "DeleteZippedFiles";
  static constexpr char kDefaultLogFileName[] = "MorvaneInfo.log";
  static constexpr char kLogFilter[] = "Morvane Log files (*.log.html)|*.log.html||";

  /// Asks for the log file: (parent, caption, start folder, Qt name filters) -> the chosen path or "".
  using LogFileBrowser =
      std::function<QString(QWidget* parent, const QString& caption, const QString& folder, const QStringList& filters)>;

  explicit CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent = nullptr);
  ~CSetExtraParametersPg() override;

  /// Replaces the file dialog of Browse (tests); nullptr restores it.
  void set_log_file_browser(LogFileBrowser browser);
  /// The folder Browse starts in for the name @p log_file_name: its folder when
  /// that exists, else the home folder.
  static QString browse_start_folder(const QString& log_file_name);

  bool validatePage() override;
  void on_set_active() override;

 private:
  void show_record();
  void update_enabled();
  void browse_log_file();

  QCheckBox* m_faster = nullptr;
  QCheckBox* m_delete = nullptr;
  QGroupBox* m_monitoring = nullptr;
  QLabel* m_monitoring_icon = nullptr;
  QCheckBox* m_tampering = nullptr;
  QCheckBox* m_log = nullptr;
  QLineEdit* m_log_name = nullptr;
  QPushButton* m_browse = nullptr;
  LogFileBrowser m_browser;
};

}  // namespace wizard
