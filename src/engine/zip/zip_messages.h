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
  kZipMsgGettingPassword = 143,      ///< "was getting encryption password"
  kZipMsgInvalidDate = 148,          ///< "invalid date"
  kZipMsgBadDeleteOptions = 152,     ///< "invalid option(s) used with ZIP_DELETE"
  kZipMsgDiagnosticHeader = 192,
  kZipMsgDiagnosticFirstField = 193, ///< 193..247 and 750..757: field lines
  kZipMsgVolumeSizeItem = 241,       ///< "[%s]": one 64-bit volume size
  kZipMsgResultBase = 256,           ///< result text of code c: 256 + c
  kZipMsgFirstDisk = 512,            ///< prompts and media messages: 512..519, 600..602
  kZipMsgVersion = 706,              ///< "Ostrana Secure Zip Version: 6.00.00 - %s  %s"
};

/// The highest zip result code that has a text.
inline constexpr int kZipLastResultCode = 22;

/// The built-in result text of @p code (no offer): "Unknown error" outside 0..22.
const char* zip_result_builtin_text(int code);

}  // namespace ostrana
