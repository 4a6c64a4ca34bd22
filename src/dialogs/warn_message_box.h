/* dialogs/warn_message_box.h - a Yes/No warning with "Do not show this message again".
 *
 * CWarnMessageBoxOnOff asks a Yes/No question whose suppression is remembered
 * under "Settings\WarningMessageBxs" by the warning's value name.  A stored 1
 * answers Yes at once without showing anything.  Otherwise the box shows the
 * title, the text, the exclamation icon, Yes, No and the check box; Yes stores
 * the check box state (0 or 1) and answers kAnswerYes (the framework's OK code,
 * 1); No stores nothing and answers kAnswerNo (the cancel code, 2).
 *
 * How the box is shown is a seam (Presenter): the default one is a
 * QMessageBox, or, where there is no widget application (a headless scheduled
 * run), an answer of No written to stderr, so nothing ever waits.  Tests
 * install a presenter that answers without showing anything.
 */
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace platform {
class SettingsStore;
}

namespace dialogs {

class CWarnMessageBoxOnOff {
 public:
  static constexpr int kAnswerYes = 1;  ///< IDOK
  static constexpr int kAnswerNo = 2;   ///< IDCANCEL

  /// What the user did: Yes or No, and the state of the check box.
  struct Reply {
    bool yes = false;
    bool do_not_show_again = false;
  };
  /// Shows @p title and @p text with Yes, No and the check box; returns the reply.
  using Presenter = std::function<Reply(QWidget* parent, const QString& title, const QString& text)>;

  /// @p title_id and @p text_id are string-table ids; @p argument fills a "%s" of the text.
  CWarnMessageBoxOnOff(int title_id, int text_id, const QString& value_name, QWidget* parent = nullptr,
                       const QString& argument = QString());
  /// The same with ready texts (for warnings whose texts are built elsewhere).
  CWarnMessageBoxOnOff(const QString& title, const QString& text, const QString& value_name,
                       QWidget* parent = nullptr);

  /// Asks (or not, when suppressed in @p settings) and returns kAnswerYes or
  /// kAnswerNo; a Yes stores the check box state in @p settings.
  int exec(platform::SettingsStore& settings);

  /// True when the last exec() really showed the box.
  bool was_shown() const { return m_shown; }

  QString title() const { return m_title; }
  QString text() const { return m_text; }

  /// The section the suppression values live in.
  static QString section();
  /// The check box text.
  static QString check_box_text();

  /// Replaces the presenter of every box (nullptr restores the default); for tests.
  static void set_presenter(Presenter presenter);

 private:
  QString m_title;
  QString m_text;
  QString m_value_name;
  QWidget* m_parent;
  bool m_shown = false;
};

}  // namespace dialogs
