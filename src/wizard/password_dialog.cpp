/* wizard/password_dialog.cpp - "Password Required...": the session password for an encrypted archive. */
#include "wizard/password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace wizard {

CTovanelPasswrdCallback::CTovanelPasswrdCallback(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CTovanelPasswrdCallback"));
  setWindowTitle(QString::fromUtf8(kTitle));
  auto* first = new QLabel(QStringLiteral("Current ZIP File Contains Encrypted Files..."), this);
  QFont bold = first->font();
  bold.setBold(true);
  first->setFont(bold);
  auto* second = new QLabel(QStringLiteral("A session password is required to be set before any operation."), this);
  second->setWordWrap(true);
  auto* label = new QLabel(QStringLiteral("&Enter Password:"), this);
  m_password = new QLineEdit(this);
  m_password->setObjectName(QStringLiteral("PasswordEdit"));
  m_password->setEchoMode(QLineEdit::Password);
  label->setBuddy(m_password);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("PasswordButtons"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : std::initializer_list<QWidget*>{first, second, label, m_password, buttons}) layout->addWidget(w);
  setMinimumWidth(380);
}

QString CTovanelPasswrdCallback::password() const { return m_password->text(); }

}  // namespace wizard
