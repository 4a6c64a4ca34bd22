/* wizard/pick_zip_file_page.h - the pick-archive page: names the ZIP archive of every operation.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic; its controls and rules are built on this class.
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
};

}  // namespace wizard
