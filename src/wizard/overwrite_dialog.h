/* wizard/overwrite_dialog.h - "Replace/Overwrite file?": the question about a file that exists.
 *
 * CTovanelAskUsrCallback (dialog 314) shows the existing file's icon and
 * name, a "Rename As" box prefilled with the file's name, and five buttons:
 * Yes (6), No (7), All (5), Rename (6 with the box's text as the new name)
 * and Cancel (2, which also stops the run).  Rename is enabled while the box
 * holds a name; only Rename reads the box, and a name equal to the prefilled
 * one counts as none.  The answer starts as Cancel, so closing the window is
 * Cancel too.
 */
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace wizard {

class CTovanelAskUsrCallback : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 314;
  static constexpr char kTitle[] = "Parvell Ravarave Wizard - Replace/Overwrite file?";

  /// @p output_path: the file that exists and would be written.
  explicit CTovanelAskUsrCallback(const QString& output_path, QWidget* parent = nullptr);

  /// 6 Yes, 7 No, 5 All, 2 Cancel (Rename answers 6).
  int answer() const { return m_answer; }
  /// The name Rename chose; empty for every other answer.
  QString new_name() const { return m_new_name; }

 private:
  void finish(int answer, bool accepted);

  QString m_current_name;
  QLineEdit* m_rename_box = nullptr;
  QPushButton* m_rename = nullptr;
  int m_answer = 2;
  QString m_new_name;
};

}  // namespace wizard
