/* wizard/pick_unzip_folder_page.h - the pick-folder page: names the extraction folder.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  Its controls, by objectName:
 *   comboUnZipFolder  "&UnZip Folder:", the folder box (history "UnZipPaths")
 *   buttonBrowse      "&Browse": a folder browser titled "Browse for UnZIP folder"
 *   verdict           the folder check's picture and line (verdict_line.h)
 * The folder check (name_checks.h) runs on activation, whenever the folder
 * text changes and again on Next; Next follows its verdict.  An existing
 * folder is used, a missing one is created by the extraction; an empty text
 * or an existing file is refused.  Leaving with Next makes the folder (one
 * trailing "/" removed) the destination folder.
 *
 * Remembered: the folder text ("PickFolderName", its first 260 characters
 * read at construction, written at destruction); nothing in a scheduled run.
 */
#pragma once

#include "wizard/resize_prop_page.h"

class QPushButton;

namespace wizard {

class CMyHistoryComboBoxExtended;
class VerdictLine;

class CPickUnZipFolderName : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePickUnzipFolder;
  static constexpr char kCaption[] = "Parvell Wizard - Chose ZIP File Extraction Destination";
  static constexpr char kHelpTopic[] = "wizard_pickunzipfile.html";
  static constexpr char kHistoryList[] = "UnZipPaths";
  static constexpr char kFolderValue[] = "PickFolderName";
  static constexpr int kFolderBufferSize = 260;

  explicit CPickUnZipFolderName(core::OperationRecord& record, QWidget* parent = nullptr);
  ~CPickUnZipFolderName() override;

  /// The folder as the check sees it: the text with one trailing "/" removed.
  virtual QString folder() const;
  /// The folder check's verdict.
  virtual bool folder_valid() const { return m_folder_valid; }
  /// Puts @p text into the folder box; the check runs and Next follows it.
  void set_folder_text(const QString& text);
  CMyHistoryComboBoxExtended* folder_box() const { return m_folder_box; }

  bool isComplete() const override { return folder_valid(); }
  bool validatePage() override;
  void on_set_active() override;

 private:
  bool check_folder_text();
  void browse();

  CMyHistoryComboBoxExtended* m_folder_box = nullptr;
  QPushButton* m_browse = nullptr;
  VerdictLine* m_verdict = nullptr;
  bool m_folder_valid = false;
};

}  // namespace wizard
