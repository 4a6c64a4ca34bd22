/* wizard/password_dialog.h - "Password Required...": the session password for an encrypted archive.
 *
 * CTovanelPasswrdCallback (dialog 362) explains that the archive holds
 * encrypted files and takes a password in a box that hides its characters.
 * OK returns the typed text (which may be empty: the performing page asks
 * again), Cancel returns nothing.
 */
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace wizard {

class CTovanelPasswrdCallback : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 362;
  static constexpr char kTitle[] = "Password Required...";

  explicit CTovanelPasswrdCallback(QWidget* parent = nullptr);

  QString password() const;

 private:
  QLineEdit* m_password = nullptr;
};

}  // namespace wizard
