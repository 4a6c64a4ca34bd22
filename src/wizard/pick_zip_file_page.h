/* wizard/pick_zip_file_page.h - the pick-archive page: names the ZIP archive of every operation.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  What the page flow needs of it is here: the archive check's verdict
 * (Next is enabled while it holds, and Next stays on the page without it),
 * the "Continue with &Picking an UnZip Folder" choice of an extraction, the
 * name in the name box and the default extraction folder derived from it.
 * The name box, its check and the check box set this state through
 * set_archive_state() and set_continue_to_folder().
 *
 * Leaving with Next: a zip run takes the name box text as the archive path;
 * an extraction without picking a folder extracts into the default folder
 * (the desktop folder joined with the archive's name without its extension,
 * with a trailing "/").
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CPickZipFileName : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePickZipFile;
  static constexpr char kCaption[] = "Parvell Wizard - Chose ZIP File Name";
  static constexpr char kHelpTopic[] = "wizard_pickzipfile.html";

  explicit CPickZipFileName(core::OperationRecord& record, QWidget* parent = nullptr);

  /// The archive check's verdict on the name in the name box.
  virtual bool archive_valid() const { return m_archive_valid; }
  /// The "Continue with &Picking an UnZip Folder" check box.
  virtual bool continue_to_folder() const { return m_continue_to_folder; }
  /// The text of the name box.
  virtual QString archive_name() const { return m_archive_name; }
  /// The desktop folder joined with archive_name()'s file name without its extension, and "/".
  QString default_destination_folder() const;

  /// The archive check's outcome: the name it checked (taken into the record as
  /// the archive path) and whether it is valid.
  void set_archive_state(const QString& name, bool valid);
  void set_continue_to_folder(bool on) { m_continue_to_folder = on; }

  FlowState flow_state() const override;
  bool isComplete() const override { return archive_valid(); }
  bool validatePage() override;

 private:
  QString m_archive_name;
  bool m_archive_valid = false;
  bool m_continue_to_folder = true;
};

}  // namespace wizard
