/* wizard/verdict_line.cpp - the verdict of a pick page's check: a status picture and a line of text. */
#include "wizard/verdict_line.h"

#include <QHBoxLayout>
#include <QLabel>

#include "wizard/name_checks.h"

namespace wizard {
namespace {
constexpr int kPictureSize = 24;
}

VerdictLine::VerdictLine(const QString& name, QWidget* parent)
    : QWidget(parent), m_picture_label(new QLabel(this)), m_text(new QLabel(this)) {
  setObjectName(name);
  m_picture_label->setObjectName(name + QStringLiteral("Picture"));
  m_picture_label->setFixedSize(kPictureSize, kPictureSize);
  m_text->setObjectName(name + QStringLiteral("Text"));
  m_text->setWordWrap(true);
  m_text->setTextFormat(Qt::PlainText);
  m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_text->setMinimumHeight(3 * fontMetrics().lineSpacing());
  m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_picture_label, 0, Qt::AlignTop);
  layout->addWidget(m_text, 1);
}

void VerdictLine::show_verdict(const Verdict& verdict) {
  m_picture = verdict.picture;
  const QString name = dialogs::status_picture_name(verdict.picture);
  m_picture_label->setProperty("picture", name);
  m_picture_label->setPixmap(name.isEmpty() ? QPixmap()
                                            : dialogs::program_icon(name).pixmap(kPictureSize, kPictureSize));
  m_text->setText(verdict.text);
}

void VerdictLine::clear_verdict() { show_verdict(Verdict{}); }

QString VerdictLine::text() const { return m_text->text(); }

}  // namespace wizard
