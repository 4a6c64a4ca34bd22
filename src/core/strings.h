/* core/strings.h - the application's string table.
 *
 * Every text the wizard, the task subsystem and the results log show to the user
 * is looked up here by its numeric id, and texts with conversions are formatted
 * printf-style ("%s", "%d", "%ld").  The ids are those the program has always
 * used (resource ids), so a later page finds its text under the same number the
 * rest of the program quotes.  Texts are UTF-8 (the program's 8-bit code page).
 *
 * Ids from 9000 up belong to texts this build adds for its own platform (the
 * no-display line, captions); they never collide with the historical ids.
 */
#pragma once

#include <cstdarg>
#include <string>

namespace core {

/// Ids of the string table.  Values are pinned; never renumber.
enum StringId : int {
  kIdsMonitorBalloonTip = 98,        ///< welcome page: balloon tip of the monitoring check box
  kIdsVerificationFailed = 100,      ///< scheduled start: neither reader accepted the task file
  kIdsParametersFileNotFound = 101,  ///< scheduled start without a task file path
  kIdsAboutMenuItem = 103,           ///< welcome page system menu item; also an engine message title
  kIdsBrowseUnzipFolder = 104,       ///< pick-folder browser title; also an engine message title
  kIdsDeleteSelectedFiles = 105,     ///< add-files dialog: delete question
  kIdsNoItemsSelected = 106,         ///< add-files dialog: OK with nothing selected
  kIdsStopOperation = 107,           ///< performing page: Stop question
  kIdsAddingFiles = 108,             ///< performing page title, create run
  kIdsUpdatingFiles = 109,           ///< performing page title, add run
  kIdsExtractingZip = 110,           ///< performing page title, extract run
  kIdsPleaseWait = 112,              ///< performing page "please wait" line
  kIdsClickNextForFolder = 114,      ///< pick-archive explanation, box checked
  kIdsCompletedOk = 115,             ///< outcome: success
  kIdsCompletedWithErrors = 116,     ///< outcome: errors
  kIdsCanceledByUser = 117,          ///< outcome: cancelled (result 1026)
  kIdsZipMustExist = 118,            ///< archive check: extraction of a missing archive
  kIdsEmailOrOpen = 119,             ///< performing page after a zip run
  kIdsZipContainsItems = 120,        ///< archive check: listed with items
  kIdsDeleteQuestion = 121,          ///< extra-parameters Finish with delete after
  kIdsNextForFolderPage = 122,       ///< pick-archive hint line, extraction
  kIdsNextForParameters = 123,       ///< pick-archive hint line, zip runs
  kIdsFolderExists = 125,            ///< folder check: existing folder
  kIdsProcessedSoFar = 126,          ///< performing page counter line
  kIdsFilesSkipped = 127,            ///< performing page counter line, skipped part
  kIdsBackToChangeSelection = 129,   ///< pick-archive selection-count line
  kIdsWarningTitle = 139,            ///< "Warning!" title of question and warning boxes
  kIdsBrowseOrNewZip = 141,          ///< archive check: empty name, zip run
  kIdsZipNotRecognized = 142,        ///< archive check: listing failed
  kIdsNoItemsInZip = 143,            ///< archive check: listing found no item
  kIdsZipNameEmpty = 144,            ///< archive check: empty name, extraction
  kIdsDefaultDesktopFolder = 146,    ///< pick-archive explanation, box cleared
  kIdsZipWillBeCreated = 148,        ///< archive check: new archive
  kIdsFolderWillBeCreated = 149,     ///< folder check: new folder
  kIdsFolderEmpty = 150,             ///< folder check: empty text
  kIdsNoFilesSkippedStopped = 151,   ///< performing page after Stop
  kIdsEventStartingTask = 155,       ///< results log: start of the task
  kIdsEventVerificationOk = 158,     ///< results log: task file read at start-up
  kIdsMonitoringAutomatic = 159,     ///< performing page, scheduled run
  kIdsMonitoringActivated = 160,     ///< performing page after an interactive run with monitoring
  kIdsMonitoringNotActivated = 161,  ///< performing page without monitoring
  kIdsEventDeletingPrevious = 164,   ///< results log: old archive deleted for a new one
  kIdsMonitoringActive = 166,        ///< performing page with monitoring
  kIdsEncryptedNoPassword = 170,     ///< warning: encrypted archive and no password
  kIdsDeleteWarning = 364,           ///< "DeleteZippedFiles" warning on the way to the task page
  kIdsProcessing = 576,              ///< performing page progress label
  kIdsSkippedStopped = 577,          ///< performing page after Stop, with skipped files
  kIdsFasterCompressionTip = 621,    ///< extra-parameters balloon tips ...
  kIdsDeleteAfterTip = 622,
  kIdsPreventTamperingTip = 623,
  kIdsAllowLogTip = 624,
  kIdsLogFileNameTip = 625,
  kIdsLogBrowseTip = 626,
  kIdsReadingTerminated = 627,       ///< scheduled start: reading the task file threw
  kIdsTaskFileNotFound = 630,        ///< scheduled start: no task file at the path
  kIdsEventFileProcessed = 634,      ///< results log: a file reached 100 %

  // Texts of this build's own platform.
  kIdsNoDisplay = 9000,              ///< interactive start without a display
  kIdsStartupCaption = 9001,         ///< caption of start-up message boxes
  // 9002 was the stand-in line of a build that could not run scheduled tasks yet.
  kIdsNoPlaceForNewArchive = 9003,   ///< results log: no free name beside the archive for its successor
  kIdsReplaceFailed = 9004,          ///< results log: the new archive could not take the old one's place
  kIdsEventEngineResult = 9005,      ///< results log: the engine's result and its text
  kIdsNothingDeleted = 9006,         ///< performing page and log: the new archive failed its test
  kIdsEventFileKept = 9007,          ///< results log: a processed file kept (changed, or not in the archive)
  kIdsEventDeleteFailed = 9008,      ///< results log: the system refused to delete a processed file
  kIdsSomeFilesKept = 9009,          ///< performing page: some processed files were kept
  kIdsArchiveIsFolder = 9110,        ///< archive check: the name is an existing folder
  kIdsFolderIsFile = 9111,           ///< folder check: the name is an existing file

  // The about box and the system information dialog.
  kIdsAboutTitle = 9300,             ///< about box caption ("About %s", the product)
  kIdsAboutDescription = 9301,       ///< about box: what the program does
  kIdsAboutEngine = 9302,            ///< about box: engine name and version
  kIdsAboutBuild = 9303,             ///< about box: build date, compiler, Qt versions
  kIdsAboutSettingsFile = 9304,      ///< about box: where the settings are kept
  kIdsAboutHistoryFile = 9305,       ///< about box: where the history lists are kept
  kIdsAboutEngineLogs = 9306,        ///< about box: where the engine's logs go
  kIdsAboutResultsLogs = 9307,       ///< about box: where results logs go
  kIdsAboutHelpLink = 9308,          ///< about box: the help link's text
  kIdsSystemInfoButton = 9309,       ///< about box: button that opens the report
  kIdsSystemInfoTitle = 9310,        ///< report dialog caption and group box
  kIdsUnknownPlace = 9311,           ///< about box: a folder that cannot be known
  kIdsAboutPlacesHeading = 9312,     ///< about box: heading over the places

  // The add-files dialog and the extra-parameters page.
  kIdsFolderNotFound = 9400,         ///< add-files dialog: a typed folder that does not exist
  kIdsItemCannotBeAdded = 9401,      ///< add-files dialog OK: an item the item list cannot carry, and why
  kIdsReasonQuote = 9402,            ///< ... a double quote in its name
  kIdsReasonWildcard = 9403,         ///< ... a file name with "*" or "?"
  kIdsReasonGone = 9404,             ///< ... vanished, or a name Qt could not decode
  kIdsReasonTooLong = 9405,          ///< ... longer than an item may be
  kIdsReasonHidden = 9406,           ///< ... a hidden file, which the archiver leaves out
  kIdsReasonTrailingDot = 9407,      ///< ... a file name ending in a dot
};

/// The text of @p id, or nullptr when the table has no such id.
const char* load_string(int id);

/// The text of @p id formatted printf-style with the arguments; an unknown id gives "".
std::string format_string(int id, ...);

/// format_string with the arguments already collected.
std::string vformat_string(int id, va_list args);

}  // namespace core
