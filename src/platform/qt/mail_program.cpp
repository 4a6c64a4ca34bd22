/* platform/qt/mail_program.cpp - hand a file to the user's mail program as an attachment (xdg-email). */
#include "platform/qt/mail_program.h"

#include <QFileInfo>
#include <QStringList>

namespace platform {
namespace {

DesktopRunner& installed_runner() {
  static DesktopRunner runner;
  return runner;
}

}  // namespace

int send_by_mail(const QString& path) {
  const QString program = QStringLiteral("xdg-email");
  const QStringList arguments{QStringLiteral("--attach"), QFileInfo(path).absoluteFilePath()};
  const DesktopRunner& runner = installed_runner();
  return runner ? runner(program, arguments) : run_and_wait(program, arguments);
}

bool mail_system_missing(int status) {
  return status == kDesktopOpenNotStarted || status == kDesktopOpenCrashed || status == kMailNoProgram;
}

QString mail_failure_reason(int status) {
  switch (status) {
    case kDesktopOpenNotStarted: return QStringLiteral("xdg-email (xdg-utils) is not installed.");
    case kDesktopOpenCrashed: return QStringLiteral("xdg-email ended abnormally.");
    case kMailNoProgram: return QStringLiteral("No mail program is set up on this desktop.");
    case 1: return QStringLiteral("xdg-email refused its command line.");
    case 2: return QStringLiteral("The file to attach does not exist.");
    case 4: return QStringLiteral("The mail program could not open a new message.");
    default: return QStringLiteral("xdg-email failed with status %1.").arg(status);
  }
}

void set_mail_runner(DesktopRunner runner) { installed_runner() = std::move(runner); }

}  // namespace platform
