/* engine/zip/zip_messages.h - the zip side's message table and display types.
 *
 * Every text the zip side shows or writes is a row of kZipMessages, looked up
 * through the run's MessageBook (engine/common/messages.h) so that the caller
 * is offered each text first.  The ids are part of the engine's contract: a
 * caller recognises a text by its id in the offer.  Never renumber.
 */
#pragma once

#include "engine/common/message_display.h"
#include "engine/common/messages.h"

namespace ostrana {

extern const MessageRow kZipMessages[];
extern const DisplayTable kZipDisplayTable;

/// Ids of the zip table that code refers to by name.
enum ZipMessageId : int {
  kZipMsgProcessingArguments = 103,  ///< "was processing arguments"
  kZipMsgAlertTitle = 104,
  kZipMsgWarningTitle = 105,
  kZipMsgRequestTitle = 106,
  kZipMsgErrorTitle = 107,
  kZipMsgDiagnosticLogName = 108,    ///< "\OSTRANA.LOG"
  kZipMsgFileReadyTitle = 109,
  kZipMsgSkippingTitle = 110,
  kZipMsgAddingFiles = 111,          ///< "was adding files to zip file"
  kZipMsgReplacingOriginal = 112,    ///< "was replacing the original zip file"
  kZipMsgAboutToZip = 113,           ///< "was about to zip" (+ " " + name)
  kZipMsgCopying = 114,              ///< "was copying" (+ " " + name)
  kZipMsgTempName = 115,             ///< "allocating temp filename"
  kZipMsgProcessingList = 116,       ///< "was processing list of files"
  kZipMsgNotFoundOrEmpty = 117,      ///< archive name + " not found or empty"
  kZipMsgCopyInstead = 118,          ///< "could not open for reading, will just copy entry over: "
  kZipMsgCouldNotOpen = 119,         ///< "could not open for reading: "
  kZipMsgLeftAs = 120,               ///< "new zip file left as: "
  kZipMsgEmptyNoLatest = 121,        ///< "zip file is empty, can't make it as old as latest entry"
  kZipMsgZeroLengthName = 122,       ///< "zero-length name for entry #"
  kZipMsgBadDescriptor = 123,        ///< "bad extended local hdr for "
  kZipMsgBadDescriptorSize = 124,    ///< "bad compressed size with extended hdr"
  kZipMsgDescriptorMissing = 125,    ///< "extended local hdr not found for "
  kZipMsgExtraCentral = 126,         ///< "extraneous central hdr signature"
  kZipMsgLocalOffset = 127,          ///< "local offset in central hdr incorrect for "
  kZipMsgNamesDiffer = 128,          ///< "names differ in local and cnetral hdrs for "
  kZipMsgMultipleDisk = 129,         ///< "multiple disk information ignored"
  kZipMsgWrongCount = 130,           ///< "wrong count in end of central dir"
  kZipMsgDirectorySize = 131,        ///< "central dir size is incorrect"
  kZipMsgDirectoryStart = 132,       ///< "central dir start is incorrect"
  kZipMsgPreamble = 133,             ///< " has a preamble of %ld bytes"
  kZipMsgGarbage = 134,              ///< "garbage at end of zip file ignored"
  kZipMsgMissingEnd = 135,           ///< "ZIP file error... missing end signature"
  kZipMsgInvalidLength = 136,        ///< "invalid length"
  kZipMsgOutputTooSmall = 137,       ///< "output buffer too small for in-memory compression"
  kZipMsgItemOf = 138,               ///< "Item %d of %d"
  kZipMsgMemoryToFile = 139,         ///< "Memory to File"
  kZipMsgBinaryEol = 140,            ///< "can not translate EOL in binary files"
  kZipMsgPatternList = 142,          ///< "was creating pattern list"
  kZipMsgGettingPassword = 143,      ///< "was getting encryption password"
  kZipMsgActivityLogName = 144,      ///< "\OZIPLOG.TXT"
  kZipMsgActivityHeader = 145,       ///< "--- Ostrana Secure ZIP Log - %s ---"
  kZipMsgLogAdded = 146,             ///< "%s [Added]"
  kZipMsgLogMemory = 147,            ///< "%s [Memory]"
  kZipMsgLogMemoryToMemory = 149,    ///< "[Memory to Memory]"
  kZipMsgLogDeleted = 150,           ///< "%s [Deleted]"
  kZipMsgSizesDiffer = 155,          ///< "sizes differ in local and central hdrs for "
  kZipMsgInvalidDate = 148,          ///< "invalid date"
  kZipMsgBadDeleteOptions = 152,     ///< "invalid option(s) used with ZIP_DELETE"
  kZipMsgNeedsZip64 = 160,           ///< "the archive needs Zip64 (...); ask for it with LargeZIPFilesFlag"
  kZipMsgDiagnosticHeader = 192,
  kZipMsgDiagnosticFirstField = 193, ///< 193..247 and 750..757: field lines
  kZipMsgVolumeSizeItem = 241,       ///< "[%s]": one 64-bit volume size
  kZipMsgResultBase = 256,           ///< result text of code c: 256 + c
  kZipMsgFirstDisk = 512,            ///< prompts and media messages: 512..519, 600..602
  kZipMsgWriteProtected = 520,       ///< "Target media is write protected or missing.\n..."
  kZipMsgWiping = 521,               ///< "Wiping Drive %s..." (the drive's root folder)
  kZipMsgFormattingDrive = 522,      ///< "Formatting Drive %s..."
  kZipMsgFormattingCylinder = 523,   ///< "Formatting Cylinder %d"
  kZipMsgInitializingMedia = 524,    ///< "Initializing Media..."
  kZipMsgDiskLabel = 525,            ///< "PKBACK# .%03d": dots removed, cut to 11 characters
  kZipMsgVersion = 706,              ///< "Ostrana Secure Zip Version: 6.00.00 - %s  %s"
};

/// The highest zip result code that has a text.
inline constexpr int kZipLastResultCode = 22;

/// The built-in result text of @p code (no offer): "Unknown error" outside 0..22.
const char* zip_result_builtin_text(int code);

}  // namespace ostrana
