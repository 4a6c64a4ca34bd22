/* dialogs/file_filters.cpp - the program's file-dialog filters as Qt's file dialogs take them. */
#include "dialogs/file_filters.h"

namespace dialogs {

QStringList name_filters_from_pipe_list(const QString& pipe_list) {
  QStringList out;
  const QStringList parts = pipe_list.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString text = parts[i].trimmed();
    if (text.isEmpty()) break;  // the closing "||"
    if (text.endsWith(QLatin1Char(')')) && text.contains(QLatin1Char('(')))
      text = text.left(text.lastIndexOf(QLatin1Char('('))).trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    out.append(text + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
  }
  return out;
}

}  // namespace dialogs
