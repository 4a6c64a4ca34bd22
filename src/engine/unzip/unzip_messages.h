/* engine/unzip/unzip_messages.h - the unzip side's message table and display types.
 *
 * As on the zip side (engine/zip/zip_messages.h): every text is a row of
 * kUnzipMessages, offered to the caller before use; the ids are part of the
 * engine's contract.  The result text of code c is message c + 15.
 */
#pragma once

#include "engine/common/message_display.h"
#include "engine/common/messages.h"

namespace ostrana {

extern const MessageRow kUnzipMessages[];
extern const DisplayTable kUnzipDisplayTable;

/// Ids of the unzip table that code refers to by name.
enum UnzipMessageId : int {
  kUnzipMsgAlertTitle = 13,
  kUnzipMsgWarningTitle = 14,
  kUnzipMsgResultBase = 15,         ///< result text of code c: 15 + c (codes 0..50)
  kUnzipMsgErrorTitle = 66,         ///< "Ostrana Secure UnZip Error:"
  kUnzipMsgResponse = 67,           ///< "Ostrana Secure UnZip Response:"
  kUnzipMsgOverwrite = 68,
  kUnzipMsgRequestTitle = 69,
  kUnzipMsgWrongPassword = 70,
  kUnzipMsgItemOf = 71,             ///< "Item %d of %d"
  kUnzipMsgExtracting = 72,
  kUnzipMsgTesting = 73,
  kUnzipMsgReturnCount = 74,        ///< "returnCount: %d"
  kUnzipMsgReturnString = 75,       ///< "lpszReturnString:"
  kUnzipMsgDiagnosticHeader = 76,
  kUnzipMsgDiagnosticLogName = 101, ///< "\OSTRANA.LOG"
  kUnzipMsgNoValidZip = 102,
  kUnzipMsgProblemReading = 103,
  kUnzipMsgNoNameOrFilespec = 104,
  kUnzipMsgEmptyNameOrFilespec = 105,
  kUnzipMsgNoCommandStructure = 106,
  kUnzipMsgNoMoreItems = 107,
  kUnzipMsgProblemOpening = 108,
  kUnzipMsgNeedDestination = 109,
  kUnzipMsgDestinationIncomplete = 110,
  kUnzipMsgDestinationNotAbsolute = 111,
  kUnzipMsgLocalHeap = 112,
  kUnzipMsgNoZipName = 113,
  kUnzipMsgStructuralProblem = 114,
  kUnzipMsgIndexOutOfRange = 115,
  kUnzipMsgReentry = 116,
  kUnzipMsgBadSize = 117,
  kUnzipMsgFreshenAndUpdate = 118,
  kUnzipMsgBadPassword = 119,
  kUnzipMsgNoDestination = 120,
  kUnzipMsgUnknownFunction = 121,
  kUnzipMsgNoItemList = 122,
  kUnzipMsgIndexTooHigh = 123,
  kUnzipMsgProblemExtracting = 124,
  kUnzipMsgNoMatch = 125,
  kUnzipMsgOnTopOfItself = 126,
  kUnzipMsgReadOnlyOverwrite = 128,
  kUnzipMsgQuotesMismatched = 129,
  kUnzipMsgIndexLongName = 130,
  kUnzipMsgInconsistentFileToMem = 131,
  kUnzipMsgFileToMemory = 132,
  kUnzipMsgGlobalHeap = 141,
  kUnzipMsgRenameTitle = 142,
  kUnzipMsgActivityLogName = 143,   ///< "\OUNZLOG.TXT"
  kUnzipMsgActivityHeader = 144,
  kUnzipMsgActivityExtracted = 145,
  kUnzipMsgActivityTested = 146,
  kUnzipMsgActivityMemory = 147,
  kUnzipMsgVersion = 148,           ///< "Ostrana Secure UnZip Version: 6.00.00 - %s  %s"
  kUnzipMsgMemoryToMemory = 149,
  kUnzipMsgOutsideDestination = 156, ///< "%s would be written outside the destination folder, ..."
  kUnzipMsgPreamble = 157,          ///< "%s has a preamble of %ld bytes that its offsets do not count; ..."
  kUnzipMsgPartNotFound = 158,      ///< "%s: this volume of the split archive was not found"
  kUnzipMsgLinkOutside = 170,       ///< "%s: a symbolic link to %s, outside the destination; ..."
  kUnzipMsgPieceMissing = 171,      ///< "%s: piece %s of the archive is missing"
};

/// Diagnostic field lines, in the order the log writes them.
enum UnzipDiagnosticId : int {
  kUdFunction = 77, kUdZipFile, kUdZInfo, kUdFilespec, kUdIndex, kUdDestination,
  kUdFreshen, kUdUpdate, kUdOverwrite, kUdQuiet, kUdTest, kUdNoDirectoryNames, kUdRecurse,
  kUdNoDirectoryItems, kUdMinorStatus, kUdMinorUserData, kUdMajorStatus, kUdMajorUserData,
  kUdReturnCount, kUdReturnString, kUdDecrypt, kUdDecryptCode, kUdMessageDisplay,
  kUdMessageDisplayData,  // = 100
  kUdSubOptions = 127,
  kUdCallbackStruct = 133, kUdExtProgTitle, kUdRenameProc, kUdRenameUserData, kUdMemBlock,
  kUdMemBlockSize, kUdMemBlockSizeH, kUdStartingOffset,  // = 140
  kUdStartingOffsetH = 150, kUdZipInfoEx, kUdSubOptions2, kUdRenameProcEX, kUdResv7, kUdResv8,
};

/// The highest unzip result code that has a row (texts "-" included).
inline constexpr int kUnzipLastResultCode = 50;

/// The built-in result text of @p code (no offer): "-" when it has none.
const char* unzip_result_builtin_text(int code);

}  // namespace ostrana
