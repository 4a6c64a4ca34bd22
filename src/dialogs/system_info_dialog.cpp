/* dialogs/system_info_dialog.cpp - the dialog "System Information" (dialog 4474). */
#include "dialogs/system_info_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include "core/strings.h"
#include "dialogs/ui_text.h"

namespace dialogs {
namespace {

/// The report's edit: lines shown as line breaks, copied as CR LF.
class ReportEdit final : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  QMimeData* createMimeDataFromSelection() const override {
    auto* mime = new QMimeData;
    QString text = textCursor().selection().toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    mime->setText(text);
    return mime;
  }
};

}  // namespace

SystemInfoDialog::SystemInfoDialog(QWidget* parent, const SystemInfoSources& sources)
    : QDialog(parent),
      m_report(QString::fromStdString(build_system_info_report(gather_system_info(sources)))) {
  setObjectName(QStringLiteral("systemInfoDialog"));
  const QString title = load_qstring(core::kIdsSystemInfoTitle);
  setWindowTitle(title);

  auto* group = new QGroupBox(title, this);
  group->setObjectName(QStringLiteral("systemInfoGroup"));
  m_text = new ReportEdit(group);
  m_text->setObjectName(QStringLiteral("systemInfoText"));
  m_text->setReadOnly(true);
  m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QString shown = m_report;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_text->setPlainText(shown);

  auto* group_layout = new QVBoxLayout(group);
  group_layout->addWidget(m_text);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);

  // Wide and tall enough for the whole report where the screen allows it.
  const QFontMetrics metrics(m_text->font());
  int widest = 0;
  const QStringList lines = shown.split(QLatin1Char('\n'));
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  QSize wanted(widest + 80, metrics.lineSpacing() * (static_cast<int>(lines.size()) + 1) + 110);
  if (QScreen* screen = parent != nullptr ? parent->screen() : this->screen())
    wanted = wanted.boundedTo(screen->availableGeometry().size() * 9 / 10);
  resize(wanted.expandedTo(QSize(420, 320)));
  m_text->setFocus();
}

void show_system_info(QWidget* parent) {
  SystemInfoDialog dialog(parent);
  dialog.exec();
}

}  // namespace dialogs
