/* dialogs/system_info_dialog.h - the dialog "System Information" (dialog 4474).
 *
 * A group box "System Information" around a read-only multi-line edit in the
 * fixed-width font, and OK.  The report is built once, when the dialog is
 * made, and never refreshed.  The edit shows the report's CR LF joins as line
 * breaks; a copy to the clipboard gives them back as CR LF.
 *
 * Widgets tests look up: "systemInfoGroup", "systemInfoText", "okButton".
 */
#pragma once

#include <QDialog>
#include <QString>

#include "dialogs/system_info_sources.h"

class QPlainTextEdit;

namespace dialogs {

class SystemInfoDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 4474;

  /// Builds the report from @p sources (this computer's by default).
  explicit SystemInfoDialog(QWidget* parent = nullptr, const SystemInfoSources& sources = this_computer_sources());

  /// The report as built, lines joined by "\r\n".
  const QString& report() const { return m_report; }

 private:
  QString m_report;
  QPlainTextEdit* m_text = nullptr;
};

/// Shows the dialog modally over @p parent.
void show_system_info(QWidget* parent);

}  // namespace dialogs
