/* wizard/pick_unzip_folder_page.h - the pick-folder page: names the extraction folder.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  What the page flow needs of it is here: the folder text (one
 * trailing "/" removed) and the folder check's verdict, which enables Next
 * and is asked again on Next.  Any non-empty folder is valid (an existing one
 * is used, a missing one is created by the extraction).  Leaving with Next
 * makes the folder the destination folder.
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CPickUnZipFolderName : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePickUnzipFolder;
  static constexpr char kCaption[] = "Parvell Wizard - Chose ZIP File Extraction Destination";
  static constexpr char kHelpTopic[] = "wizard_pickunzipfile.html";

  explicit CPickUnZipFolderName(core::OperationRecord& record, QWidget* parent = nullptr);

  /// The folder as the check sees it: the text with one trailing "/" removed.
  virtual QString folder() const;
  /// The folder check's verdict.
  virtual bool folder_valid() const { return !folder().isEmpty(); }
  /// The text of the folder box; Next follows the check at once.
  void set_folder_text(const QString& text);

  bool isComplete() const override { return folder_valid(); }
  bool validatePage() override;

 private:
  QString m_folder_text;
};

}  // namespace wizard
