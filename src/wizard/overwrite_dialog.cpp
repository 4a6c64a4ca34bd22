/* wizard/overwrite_dialog.cpp - "Replace/Overwrite file?": the question about a file that exists. */
#include "wizard/overwrite_dialog.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "bridge/ui_progress.h"

namespace wizard {

CTovanelAskUsrCallback::CTovanelAskUsrCallback(const QString& output_path, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CTovanelAskUsrCallback"));
  setWindowTitle(QString::fromUtf8(kTitle));
  const QFileInfo file(output_path);
  m_current_name = file.fileName();

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("FileIcon"));
  QIcon file_icon = QFileIconProvider().icon(file);
  if (file_icon.isNull()) file_icon = style()->standardIcon(QStyle::SP_FileIcon);  // no icon theme
  icon->setPixmap(file_icon.pixmap(32, 32));
  auto* name = new QLabel(tr("This file exists already:\n%1").arg(output_path), this);
  name->setObjectName(QStringLiteral("FileName"));
  name->setWordWrap(true);
  name->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* rename_label = new QLabel(tr("Rename &As"), this);
  m_rename_box = new QLineEdit(m_current_name, this);
  m_rename_box->setObjectName(QStringLiteral("RenameAs"));
  rename_label->setBuddy(m_rename_box);

  auto make = [this](const char* object_name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(object_name));
    b->setAutoDefault(false);
    return b;
  };
  QPushButton* yes = make("YesButton", tr("&Yes"));
  QPushButton* no = make("NoButton", tr("&No"));
  QPushButton* all = make("AllButton", tr("&All"));
  m_rename = make("RenameButton", tr("&Rename"));
  QPushButton* cancel = make("CancelButton", tr("Cancel"));
  yes->setDefault(true);
  m_rename->setEnabled(false);

  connect(yes, &QPushButton::clicked, this, [this] { finish(bridge::kAnswerYes, true); });
  connect(no, &QPushButton::clicked, this, [this] { finish(bridge::kAnswerNo, true); });
  connect(all, &QPushButton::clicked, this, [this] { finish(bridge::kAnswerAll, true); });
  connect(cancel, &QPushButton::clicked, this, [this] { finish(bridge::kAnswerCancel, false); });
  connect(m_rename, &QPushButton::clicked, this, [this] {
    const QString typed = m_rename_box->text().trimmed();
    m_new_name = typed == m_current_name ? QString() : typed;
    finish(bridge::kAnswerYes, true);
  });
  connect(m_rename_box, &QLineEdit::textChanged, this,
          [this](const QString& text) { m_rename->setEnabled(!text.trimmed().isEmpty()); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, Qt::AlignTop);
  grid->addWidget(name, 0, 1, 1, 2);
  grid->addWidget(rename_label, 1, 0);
  grid->addWidget(m_rename_box, 1, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {yes, no, all, m_rename, cancel}) buttons->addWidget(b);
  grid->addLayout(buttons, 2, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(460);
}

void CTovanelAskUsrCallback::finish(int answer, bool accepted) {
  m_answer = answer;
  if (answer != bridge::kAnswerYes) m_new_name.clear();
  accepted ? accept() : reject();
}

}  // namespace wizard
