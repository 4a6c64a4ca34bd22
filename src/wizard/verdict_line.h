/* wizard/verdict_line.h - the verdict of a pick page's check: a status picture and a line of text.
 *
 * Both pick pages show what their check found beside a small picture (good,
 * error, note).  The picture's label is named "<name>Picture" and the text's
 * "<name>Text", so tests and the screenshots find them by objectName.  The
 * picture's resource name is kept as the label's "picture" property; a test
 * reads the verdict's kind from it without comparing pixels.
 */
#pragma once

#include <QWidget>

#include "dialogs/program_icons.h"

class QLabel;

namespace wizard {

struct Verdict;

class VerdictLine : public QWidget {
  Q_OBJECT
 public:
  VerdictLine(const QString& name, QWidget* parent = nullptr);

  void show_verdict(const Verdict& verdict);
  void clear_verdict();

  QString text() const;
  dialogs::StatusPicture picture() const { return m_picture; }

 private:
  QLabel* m_picture_label;
  QLabel* m_text;
  dialogs::StatusPicture m_picture = dialogs::StatusPicture::kNone;
};

}  // namespace wizard
