/* dialogs/send_by_mail.cpp - a new mail message with a file attached, in the user's mail program. */
#include "dialogs/send_by_mail.h"

#include "core/product.h"
#include "dialogs/message_boxes.h"
#include "platform/qt/mail_program.h"

namespace dialogs {

int send_file_by_mail(QWidget* owner, const QString& path, const QString& message, const QString& caption) {
  if (path.isEmpty()) return 1;
  const int status = platform::send_by_mail(path);
  if (!platform::mail_system_missing(status)) return status;
  if (!message.isEmpty()) {
    BoxRequest box;
    box.icon = BoxIcon::kInformation;
    box.buttons = BoxButtons::kOk;
    box.title = caption.isEmpty() ? QString::fromUtf8(core::kProductName) : caption;
    box.text = message + QStringLiteral("\n\n") + platform::mail_failure_reason(status);
    show_message_box(owner, box);
  }
  return 0;
}

}  // namespace dialogs
