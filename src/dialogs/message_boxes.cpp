/* dialogs/message_boxes.cpp - the plain message boxes of the wizard. */
#include "dialogs/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace dialogs {
namespace {

BoxPresenter& installed_presenter() {
  static BoxPresenter presenter;
  return presenter;
}

QMessageBox::Icon icon_of(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kInformation: return QMessageBox::Information;
    case BoxIcon::kQuestion: return QMessageBox::Question;
    case BoxIcon::kWarning: return QMessageBox::Warning;
    case BoxIcon::kStop: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

int real_presenter(QWidget* parent, const BoxRequest& request) {
  const bool question = request.buttons == BoxButtons::kYesNo;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s: %s%s\n", request.title.toUtf8().constData(), request.text.toUtf8().constData(),
                 question ? " (answered No)" : "");
    return question ? kBoxNo : kBoxOk;
  }
  QMessageBox box(icon_of(request.icon), request.title, request.text,
                  question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent);
  if (question) box.setDefaultButton(QMessageBox::Yes);
  const int answer = box.exec();
  if (!question) return kBoxOk;
  return answer == QMessageBox::Yes ? kBoxYes : kBoxNo;
}

}  // namespace

int show_message_box(QWidget* parent, const BoxRequest& request) {
  const BoxPresenter& presenter = installed_presenter();
  return presenter ? presenter(parent, request) : real_presenter(parent, request);
}

bool ask_yes_no(QWidget* parent, const QString& title, const QString& text) {
  return show_message_box(parent, {BoxIcon::kQuestion, BoxButtons::kYesNo, title, text}) == kBoxYes;
}

void show_stop_box(QWidget* parent, const QString& title, const QString& text) {
  show_message_box(parent, {BoxIcon::kStop, BoxButtons::kOk, title, text});
}

void set_box_presenter(BoxPresenter presenter) { installed_presenter() = std::move(presenter); }

}  // namespace dialogs
