/* dialogs/about_box.h - the about box of the wizard.
 *
 * Names the product, the engine with the version the engine reports, the
 * build (date, compiler, Qt), says in a few words what the program does and
 * where its settings and logs are kept, links to the help and offers the
 * button "&System Info", which opens the system information report over it.
 *
 * The help is opened by whoever installed a help opener (the wizard, which
 * knows its help folder); without one the link is shown disabled.
 *
 * Widgets tests look up: "productName", "engineLine", "buildLine",
 * "placesText", "helpLink", "systemInfoButton", "okButton".
 */
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

namespace dialogs {

/// Opens the program's help over @p parent.
using HelpOpener = std::function<void(QWidget* parent)>;

/// Installs the opener the about box's help link calls (empty: no link).
void set_help_opener(HelpOpener opener);

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);

  /// The build line's date and compiler ("2026-11-01", "GCC 12.2.0").
  static QString build_date();
  static QString compiler();

 public slots:
  /// Opens the system information report, modal over the box.
  void open_system_info();
};

/// Shows the about box modally over @p parent.
void show_about_box(QWidget* parent);

}  // namespace dialogs
