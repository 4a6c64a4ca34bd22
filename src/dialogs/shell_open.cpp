/* dialogs/shell_open.cpp - open a file, folder or web address in the user's program for it. */
#include "dialogs/shell_open.h"

#include "core/product.h"
#include "dialogs/message_boxes.h"
#include "platform/qt/desktop_open.h"

namespace dialogs {
namespace {

constexpr int kShellFileNotFound = 2;
constexpr int kShellNoAssociation = 31;

struct FailureText {
  int result;
  const char* text;
};

// The texts by shell result; results the desktop cannot give are kept so a
// caller that knows one finds its text.
constexpr FailureText kFailureTexts[] = {
    {0, "The operating system is out of memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied access to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .exe file is invalid (non-Win32\u00ae .exe or error in .exe image)."},
    {26, "A sharing violation occurred."},
    {27, "The file name association is incomplete or invalid."},
    {28, "The DDE transaction could not be completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not be completed because other DDE transactions were being processed."},
    {31, "There is no application associated with the given file name extension."},
    {32, "The specified dynamic-link library was not found."},
};

}  // namespace

QString shell_failure_text(int shell_result) {
  for (const FailureText& row : kFailureTexts) {
    if (row.result == shell_result) return QString::fromUtf8(row.text);
  }
  return QString::asprintf("An unknown error number %d occured.", shell_result);
}

QString desktop_failure_text(int desktop_status) {
  switch (desktop_status) {
    case 2: return shell_failure_text(kShellFileNotFound);
    case 3:
    case platform::kDesktopOpenNotStarted: return shell_failure_text(kShellNoAssociation);
    default: return QString::asprintf("An unknown error number %d occured.", desktop_status);
  }
}

ShellOpenResult shell_open_quietly(const QString& verb, const QString& target, QString* failure_text_ret) {
  Q_UNUSED(verb);  // "open" and "explore" are the same hand-over here
  const int status = platform::desktop_open(target);
  if (status == 0) return ShellOpenResult::kDone;
  if (failure_text_ret) *failure_text_ret = desktop_failure_text(status);
  return ShellOpenResult::kFailed;
}

ShellOpenResult shell_open(QWidget* parent, const QString& verb, const QString& target) {
  QString failure;
  if (shell_open_quietly(verb, target, &failure) == ShellOpenResult::kDone) return ShellOpenResult::kDone;
  show_stop_box(parent, QString::fromUtf8(core::kProductName), failure);
  return ShellOpenResult::kFailed;
}

}  // namespace dialogs
