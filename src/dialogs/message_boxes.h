/* dialogs/message_boxes.h - the plain message boxes of the wizard, with one seam for tests.
 *
 * A stop-icon error, an information note or a Yes/No question: the boxes
 * that carry no switch of their own (the warning with "Do not show this
 * message again" is CWarnMessageBoxOnOff).  Every such box goes through
 * show_message_box, so a test installs one presenter that records what would
 * be shown and answers for the user.
 *
 * Where there is no widget application (a headless scheduled run) nothing can
 * be shown: the title and text go to stderr and the safe answer comes back
 * (OK, or No for a question), so nothing ever waits.
 */
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace dialogs {

enum class BoxIcon { kInformation, kQuestion, kWarning, kStop };
enum class BoxButtons { kOk, kYesNo };

/// Answers, with the numbers the message boxes have always returned.
enum BoxAnswer : int { kBoxOk = 1, kBoxYes = 6, kBoxNo = 7 };

/// What a box shows.
struct BoxRequest {
  BoxIcon icon = BoxIcon::kInformation;
  BoxButtons buttons = BoxButtons::kOk;
  QString title;
  QString text;
};

/// Shows @p request over @p parent and returns the answer.
using BoxPresenter = std::function<int(QWidget* parent, const BoxRequest& request)>;

/// Shows the box through the installed presenter (or the real one).  @return a BoxAnswer.
int show_message_box(QWidget* parent, const BoxRequest& request);

/// A Yes/No question with the question icon.  @return true for Yes.
bool ask_yes_no(QWidget* parent, const QString& title, const QString& text);

/// An error with the stop icon and OK.
void show_stop_box(QWidget* parent, const QString& title, const QString& text);

/// Replaces the presenter of every box (nullptr restores the real one); for tests.
void set_box_presenter(BoxPresenter presenter);

}  // namespace dialogs
