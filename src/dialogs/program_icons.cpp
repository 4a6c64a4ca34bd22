/* dialogs/program_icons.cpp - the pictures drawn for this program. */
#include "dialogs/program_icons.h"

#include <QFile>

// Q_INIT_RESOURCE names a function outside every namespace.
static void register_program_icons() { Q_INIT_RESOURCE(icons); }

namespace dialogs {

QString program_icon_path(const QString& name) {
  static const bool registered = (register_program_icons(), true);
  (void)registered;
  return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QIcon program_icon(const QString& name) {
  const QString path = program_icon_path(name);
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

QString status_picture_name(StatusPicture picture) {
  switch (picture) {
    case StatusPicture::kGood: return QStringLiteral("status-good");
    case StatusPicture::kError: return QStringLiteral("status-error");
    case StatusPicture::kNote: return QStringLiteral("status-note");
    case StatusPicture::kNone: break;
  }
  return QString();
}

}  // namespace dialogs
