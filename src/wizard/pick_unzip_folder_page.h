/* wizard/pick_unzip_folder_page.h - the pick-folder page: names the extraction folder.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic; its controls and rules are built on this class.
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
};

}  // namespace wizard
