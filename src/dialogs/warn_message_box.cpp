/* dialogs/warn_message_box.cpp - a Yes/No warning with "Do not show this message again". */
#include "dialogs/warn_message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <cstdio>

#include "core/strings.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"

namespace dialogs {
namespace {

CWarnMessageBoxOnOff::Presenter& installed_presenter() {
  static CWarnMessageBoxOnOff::Presenter presenter;
  return presenter;
}

CWarnMessageBoxOnOff::Reply default_presenter(QWidget* parent, const QString& title, const QString& text) {
  CWarnMessageBoxOnOff::Reply reply;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    // No widgets can exist: answer the safe button, as every headless question does.
    std::fprintf(stderr, "%s: %s (answered No)\n", title.toUtf8().constData(), text.toUtf8().constData());
    return reply;
  }
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  auto* check = new QCheckBox(CWarnMessageBoxOnOff::check_box_text(), &box);
  box.setCheckBox(check);
  reply.yes = box.exec() == QMessageBox::Yes;
  reply.do_not_show_again = check->isChecked();
  return reply;
}

}  // namespace

CWarnMessageBoxOnOff::CWarnMessageBoxOnOff(int title_id, int text_id, const QString& value_name,
                                           QWidget* parent, const QString& argument)
    : m_title(load_qstring(title_id)),
      m_text(argument.isNull() ? load_qstring(text_id)
                               : QString::fromStdString(core::format_string(text_id, argument.toUtf8().constData()))),
      m_value_name(value_name),
      m_parent(parent) {}

CWarnMessageBoxOnOff::CWarnMessageBoxOnOff(const QString& title, const QString& text,
                                           const QString& value_name, QWidget* parent)
    : m_title(title), m_text(text), m_value_name(value_name), m_parent(parent) {}

QString CWarnMessageBoxOnOff::section() { return QStringLiteral("Settings\\WarningMessageBxs"); }

QString CWarnMessageBoxOnOff::check_box_text() { return QStringLiteral("Do &not show this message again "); }

void CWarnMessageBoxOnOff::set_presenter(Presenter presenter) { installed_presenter() = std::move(presenter); }

int CWarnMessageBoxOnOff::exec(platform::SettingsStore& settings) {
  m_shown = false;
  if (settings.read_int(section(), m_value_name, 0) == 1) return kAnswerYes;

  m_shown = true;
  const Presenter& presenter = installed_presenter();
  const Reply reply = presenter ? presenter(m_parent, m_title, m_text) : default_presenter(m_parent, m_title, m_text);
  if (!reply.yes) return kAnswerNo;
  settings.write_int(section(), m_value_name, reply.do_not_show_again ? 1 : 0);
  return kAnswerYes;
}

}  // namespace dialogs
