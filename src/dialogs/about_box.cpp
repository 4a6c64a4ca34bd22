/* dialogs/about_box.cpp - the about box of the wizard. */
#include "dialogs/about_box.h"

#include <QMessageBox>

#include "core/product.h"

namespace dialogs {

void show_about_box(QWidget* parent) {
  const QString product = QString::fromUtf8(core::kProductName);
  QMessageBox::about(parent, QStringLiteral("About %1").arg(product),
                     QStringLiteral("%1\nArchive engine: Ostrana Secure Zip/UnZip").arg(product));
}

}  // namespace dialogs
