/* ostrana_callbacks.h - the callbacks through which the engine reports and asks.
 *
 * Both command records (ZIPCMDSTRUCT, UNZIPCMDSTRUCT) carry function pointers
 * of the types below, each with an opaque user-data word that the engine hands
 * back unchanged.  Every callback runs synchronously on the thread that called
 * the engine entry; a callback may not call the same entry again on that thread
 * (the entry refuses with "Busy": zip code 1, unzip code 45).
 *
 * Texts are NUL-terminated 8-bit strings (UTF-8 on this platform).
 */
#ifndef OSTRANA_CALLBACKS_H
#define OSTRANA_CALLBACKS_H

#include <stdint.h>

#include "ostrana_export.h"

OSTRANA_EXTERN_C_BEGIN

/*****************************************************************************
 *                                 Progress                                  *
 *****************************************************************************/

/* lpMajorStatus (progress over the items) and lpMinorStatus (progress within
 * the current item).  @text is the engine's line ("Item 3 of 10", the item's
 * name, ...), @percent 0..100.  A non-zero result asks the engine to stop; when
 * it is honoured depends on the record's size and option bits (see the record
 * headers). */
typedef int (*OSTRANA_STATUS_PROC)(const char* text, int percent, void* userData);

/*****************************************************************************
 *                          Messages and questions                           *
 *****************************************************************************/

/* lpMessageDisplay: shows a message or asks a question, and is offered every
 * text of the engine before use.
 *   @type   display type: what is being shown (tables in the record headers);
 *           type 13 is the text offer (below).
 *   @style  message-box style; the buttons are its low 4 bits (OSTRANA_MB_*).
 *   @code, @extra  numbers that belong to the type (a disk number, a message id).
 *   @text, @title  writable buffers of OSTRANA_MESSAGE_BUFFER_SIZE bytes.
 * @return the button chosen (OSTRANA_ID_*).  The engine takes the answer only
 * when the style offers that button; otherwise (or with no callback) it asks
 * through its message-box hook (OstranaSetMessageBoxHook) with the same text,
 * title and style.
 *
 * Text offer (type 13): before the engine uses any text of its message tables
 * it calls the callback with type 13, style 0, @code = the message id, @extra 0,
 * @text holding the engine's text and @title empty.  Whatever @text holds
 * afterwards is used, so a caller may translate any text or move the engine's
 * log files; the result of a type-13 call is ignored.  A replacement that
 * changes the printf conversions of a text (%d, %s, ...) is not used: the
 * engine then keeps its own text. */
typedef int (*OSTRANA_MESSAGE_PROC)(int type, uint32_t style, int code, int extra, char* text,
                                    char* title, void* userData);

#define OSTRANA_MESSAGE_BUFFER_SIZE 2049 /* both buffers of lpMessageDisplay */

/* Display types shared by both sides (the full tables are in ostrana_zip.h and
 * ostrana_unzip.h). */
#define OSTRANA_DISPLAY_ERROR 11      /* the result report of a failed run */
#define OSTRANA_DISPLAY_WARNING 12    /* a warning with the caller's text */
#define OSTRANA_DISPLAY_TEXT_OFFER 13 /* the message-text offer */

/* Styles: buttons in the low 4 bits. */
#define OSTRANA_MB_OK 0
#define OSTRANA_MB_OKCANCEL 1
#define OSTRANA_MB_ABORTRETRYIGNORE 2
#define OSTRANA_MB_YESNOCANCEL 3
#define OSTRANA_MB_YESNO 4
#define OSTRANA_MB_RETRYCANCEL 5
#define OSTRANA_MB_OVERWRITE 15 /* unzip only: Yes, No, Cancel, Yes to All, Rename */
#define OSTRANA_MB_BUTTONS_MASK 0x0F
/* Flags the engine adds when it falls back to its own message box. */
#define OSTRANA_MB_TASKMODAL 0x2000
#define OSTRANA_MB_SETFOREGROUND 0x10000
#define OSTRANA_MB_TOPMOST 0x40000

/* Answers. */
#define OSTRANA_ID_OK 1
#define OSTRANA_ID_CANCEL 2
#define OSTRANA_ID_ABORT 3
#define OSTRANA_ID_RETRY 4
#define OSTRANA_ID_IGNORE 5
#define OSTRANA_ID_YES 6
#define OSTRANA_ID_NO 7
#define OSTRANA_ID_YESTOALL 100 /* style 15 only (5 is taken as Yes to All too) */
#define OSTRANA_ID_RENAME 101   /* style 15 only */

/*****************************************************************************
 *                              Rename callbacks                             *
 *****************************************************************************/

/* Zip side, called for each selected file when wZipSubOptions bit 13 is set.
 * The engine takes back the entry name, date and time, and of the attributes
 * only the read-only, hidden, system and archive bits (mask 0x27).  532 bytes. */
typedef struct ZIPRENAMEINFO {
  char szEntryName[260];  /* in/out: the name the entry will be stored under */
  int32_t lDosDate;       /* in/out: DOS date (high word of a DOS date-time) */
  int32_t lDosTime;       /* in/out: DOS time (low word) */
  int32_t lAttributes;    /* in/out: DOS attributes */
  char szSourcePath[260]; /* in: the file being added */
} ZIPRENAMEINFO;

/* Extended form (lZipSubOptions2 bit 1): long names and the file size.  4,120 bytes. */
typedef struct ZIPRENAMEINFOEX {
  int32_t lStructSize;     /* 4,120 */
  char szEntryName[2048];  /* in/out */
  int32_t lDosDate;        /* in/out */
  int32_t lDosTime;        /* in/out */
  int32_t lAttributes;     /* in/out */
  char szSourcePath[2048]; /* in */
  uint32_t ulFileSizeLow;  /* in */
  uint32_t ulFileSizeHigh; /* in */
} ZIPRENAMEINFOEX;

/* Unzip side, called for each item before its file is created.  272 bytes. */
typedef struct UNZIPRENAMEINFO {
  char szOutputPath[260]; /* in/out: where the item will be written */
  int32_t lDosDate;       /* in/out */
  int32_t lDosTime;       /* in/out */
  int32_t lAttributes;    /* in/out: attribute bits to set (mask 0x27, 0x10 for folders) */
} UNZIPRENAMEINFO;

/* Extended form (lUnZipSubOptions2 bit 1).  4,120 bytes. */
typedef struct UNZIPRENAMEINFOEX {
  int32_t lStructSize;     /* 4,120 */
  char szOutputPath[2048]; /* in/out */
  int32_t lDosDate;        /* in/out */
  int32_t lDosTime;        /* in/out */
  int32_t lAttributes;     /* in/out */
  char szStoredName[2048]; /* in: the item's name in the archive */
  uint32_t ulSizeLow;      /* in: uncompressed size */
  uint32_t ulSizeHigh;     /* in */
} UNZIPRENAMEINFOEX;

#define OSTRANA_RENAMEINFOEX_SIZE 4120

/* The rename callbacks' results are not used by the engine. */
typedef int (*OSTRANA_ZIP_RENAME_PROC)(ZIPRENAMEINFO* info, void* userData);
typedef int (*OSTRANA_ZIP_RENAME_EX_PROC)(ZIPRENAMEINFOEX* info, void* userData);
typedef int (*OSTRANA_UNZIP_RENAME_PROC)(UNZIPRENAMEINFO* info, void* userData);
typedef int (*OSTRANA_UNZIP_RENAME_EX_PROC)(UNZIPRENAMEINFOEX* info, void* userData);

/*****************************************************************************
 *                               Data callback                               *
 *****************************************************************************/

/* The data callback moves entry bytes between the caller and the engine for the
 * memory operations (zip functions 6 and 7, unzip functions 10 and 11).  Both
 * sides use the same argument list:
 *
 *   @direction  OSTRANA_DATA_TO_ENGINE (0): the caller fills @buffer;
 *               OSTRANA_DATA_FROM_ENGINE (1): the caller takes @buffer.
 *   @buffer     the bytes; @length in: bytes wanted (0) or offered (1),
 *               out: bytes actually moved (at most the value given in).
 *   @posLow, @posHigh  64-bit position of @buffer's first byte in the stream.
 *   @auxLow, @auxHigh  a second 64-bit word; reserved, the engine passes 0.
 *   @status     in/out.  The engine sets OSTRANA_DATA_MORE before each call; the
 *               caller leaves it (bytes moved, more may follow), or sets
 *               OSTRANA_DATA_END (the data ended with the bytes of this call),
 *               or OSTRANA_DATA_CANCEL (stop the run).  Any other value ends the
 *               run with an error.
 *
 * The streams:
 *   - zip function 7 (ZIP_ADD_FROM_CALLBACK): direction 0 delivers the
 *     uncompressed data of the one entry named by the first item of
 *     lpszItemList (further items are files, as for ZIP_ADD); END is the
 *     normal end of that data, and so is a call that moves no bytes.  The
 *     entry is written with flag bit 3 (CRC and sizes in a data descriptor).
 *     A callback that always reports the bytes asked for never ends.
 *   - zip function 6 (ZIP_MEMORY_TO_MEMORY): the input is lpMemBlock when
 *     given, else direction 0 as above; the output, through direction 1, is
 *     the item exactly as unzip function 10 reads it: its 46-byte central
 *     header (local header offset 0, no name, no extra field, no comment),
 *     then the compressed data (method 8, or 9 for factors 10..19; CRC and
 *     sizes in the header).  The output is offered at most 64 KiB at a time;
 *     the caller may take fewer bytes (the rest is offered again), but taking
 *     none of an offer ends the run with code 14 "output buffer too small for
 *     in-memory compression".  Reporting more bytes than offered or asked for
 *     is code 16 "invalid length".
 *   - unzip function 10: direction 0 delivers that same stream (END before
 *     the item is complete is code 2); the expanded data comes back through
 *     direction 1.  Unzip function 11 without lpMemBlock hands one item's
 *     expanded data out through direction 1.
 * A CANCEL gives zip code 9 and unzip code 48. */
typedef void (*OSTRANA_DATA_PROC)(int direction, uint8_t* buffer, uint32_t* length,
                                  uint32_t posLow, uint32_t posHigh, uint32_t auxLow,
                                  uint32_t auxHigh, void* userData, int32_t* status);

#define OSTRANA_DATA_TO_ENGINE 0
#define OSTRANA_DATA_FROM_ENGINE 1
#define OSTRANA_DATA_END 0
#define OSTRANA_DATA_CANCEL 2
#define OSTRANA_DATA_MORE 3

/* The record lpCallbackStruct points to: second word the callback, third word
 * its user data (three pointer-sized words). */
typedef struct OSTRANA_CALLBACK_STRUCT {
  intptr_t lResv;             /* reserved, 0 */
  OSTRANA_DATA_PROC lpDataProc;
  void* lpUserData;
} OSTRANA_CALLBACK_STRUCT;

OSTRANA_EXTERN_C_END

#endif /* OSTRANA_CALLBACKS_H */
