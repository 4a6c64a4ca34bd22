/* ostrana_unzip.h - the unzip command record and the unzip entry of Ostrana Secure UnZip.
 *
 * A caller fills one UNZIPCMDSTRUCT, sets structSize and calls OstranaUnzip(),
 * which returns a small result code (OU_*, ostrana_results.h; 0 is success).
 * The information functions fill the caller's zInfo or pZipInfoEx record
 * (ostrana_info.h); counts come back in returnCount: the entry copies the
 * record back into the caller's record, in the caller's size, before it
 * returns.
 *
 * Record sizes, as on the zip side (ostrana_zip.h): the accepted sizes are the
 * record cut after a given field; use the UNZIPCMDSTRUCT_SIZE_* constants.  On
 * a 32-bit build the record is packed to 2 bytes and the sizes are 100, 110,
 * 142, 170 and 202 bytes.
 *
 *   constant                  cut after field           level
 *   UNZIPCMDSTRUCT_SIZE_L100   25 lpszDecryptCode         100
 *   UNZIPCMDSTRUCT_SIZE_L200   28 wUnzipSubOptions        200
 *   UNZIPCMDSTRUCT_SIZE_L300   36 lStartingOffset         300
 *   UNZIPCMDSTRUCT_SIZE_L500   43 lResv8                  500
 *   UNZIPCMDSTRUCT_SIZE_L600   51 lResv16 (the full one)  600
 *
 * Fields beyond the caller's size read as zero and the progress title reads
 * "Extract Progress".  At levels 100 and 200 the overwrite question offers
 * Yes/No/Cancel, from level 300 the five answers (style 15); level-100
 * callers' major-status results are ignored, the minor-status result is
 * honoured from level 200 with option bit 1.
 */
#ifndef OSTRANA_UNZIP_H
#define OSTRANA_UNZIP_H

#include <stddef.h>
#include <stdint.h>

#include "ostrana_callbacks.h"
#include "ostrana_export.h"
#include "ostrana_info.h"
#include "ostrana_results.h"

OSTRANA_EXTERN_C_BEGIN

/* ---- Function codes ------------------------------------------------------ */
#define UNZIP_COUNT_ITEMS 1          /* returnCount = number of items */
#define UNZIP_NEXT_ITEM_INFO 2       /* next item, directory order; 2 when none is left */
#define UNZIP_COUNT_MATCHES 3        /* returnCount = items matching lpszFilespec */
#define UNZIP_NEXT_MATCH_INFO 4      /* next item matching lpszFilespec */
#define UNZIP_COMMENT_SIZE 5         /* returnCount = archive comment length */
#define UNZIP_COMMENT 6              /* comment into lpszReturnString (room: returnCount + 1) */
#define UNZIP_ITEM_INFO 7            /* information on the item `index` */
#define UNZIP_EXTRACT 8              /* extract or test by patterns or by index */
#define UNZIP_FILETOMEM 9            /* one item into lpMemBlock */
#define UNZIP_MEMTOMEM 10            /* one item in and out through the data callback */
#define UNZIP_FILETOMEM_CALLBACK 11  /* one item into lpMemBlock, or out through the data callback */

/* ---- wUnzipSubOptions bits ----------------------------------------------- */
#define UNZIP_OPT_REPLACE_READONLY 0x0001  /* bit 0: delete an existing read-only file first */
#define UNZIP_OPT_MINOR_CANCELS 0x0002     /* bit 1: honour lpMinorStatus's result */
#define UNZIP_OPT_EXT_PROGRESS 0x0004      /* bit 2: external progress program (callbacks only here) */
#define UNZIP_OPT_EXT_PROGRESS_C 0x0008    /* bit 3: its mode letter "c" */
#define UNZIP_OPT_SKIP_LONG_NAMES 0x0010   /* bit 4: items without 8.3 names are invisible */
#define UNZIP_OPT_SHORT_NAMES 0x0020       /* bit 5: report and match names in 8.3 form */
#define UNZIP_OPT_KEEP_FAILED 0x0040       /* bit 6: keep the output of a failed item */
#define UNZIP_OPT_REMOVABLE 0x0080         /* bit 7: treat the archive's drive as removable */
#define UNZIP_OPT_ACTIVITY_LOG 0x0100      /* bit 8: write the activity log */
#define UNZIP_OPT_NO_LABEL_CHECK 0x0200    /* bit 9: do not check multi-volume disk labels */
#define UNZIP_OPT_ANSI_NAMES 0x0800        /* bit 11: names are taken as stored (no CP437 conversion) */
#define UNZIP_OPT_NEED_DATA_CALLBACK 0x1000 /* bit 12: a data callback is required */
#define UNZIP_OPT_SPLIT_FILES 0x2000       /* bit 13: volumes are split files on fixed media */
#define UNZIP_OPT_NO_PUMP 0x4000           /* bit 14: do not pump the application's events */

/* ---- lUnZipSubOptions2 bits ---------------------------------------------- */
#define UNZIP_OPT2_RENAME_EX 0x0002 /* bit 1: call lpRenameProcEX instead of lpRenameProc */

/* Unzip display types (lpMessageDisplay's first argument):
 *   0, 1        disk requests (as on the zip side)
 *   2, 3, 4     archive open / read / write error
 *   5, 6        non-removable target / same volume as source and destination
 *   8           the overwrite question (caller's text; style 3 or 15)
 *   9           the wrong-password question (caller's text; style 1)
 *   10          invalid first disk
 *   11          the error report of the run (unless quietFlag)
 *   12          a warning
 *   13          the text offer (ostrana_callbacks.h) */

/* ---- The command record -------------------------------------------------- */
#if UINTPTR_MAX == 0xFFFFFFFF
#pragma pack(push, 2) /* the 32-bit record is packed: 110 and 142 are not multiples of 4 */
#endif
typedef struct UNZIPCMDSTRUCT {
  int32_t structSize;                 /*  1 in  UNZIPCMDSTRUCT_SIZE_* */
  int32_t Function;                   /*  2 in  UNZIP_* function code */
  const char* lpszZIPFile;            /*  3 in  the archive */
  ZINFO* zInfo;                       /*  4 in  short item information to fill */
  const char* lpszFilespec;           /*  5 in  patterns, blank-separated, "quoted" */
  int32_t index;                      /*  6 in  item number (0-based) or -1 */
  const char* lpszDestination;        /*  7 in  destination folder */
  int32_t freshenFlag;                /*  8 in */
  int32_t updateFlag;                 /*  9 in */
  int32_t overWriteFlag;              /* 10 in */
  int32_t quietFlag;                  /* 11 in  no message boxes, questions skip the item */
  int32_t testFlag;                   /* 12 in */
  int32_t noDirectoryNamesFlag;       /* 13 in */
  int32_t recurseFlag;                /* 14 in */
  int32_t noDirectoryItemsFlag;       /* 15 in */
  OSTRANA_STATUS_PROC lpMinorStatus;  /* 16 in */
  void* lpMinorUserData;              /* 17 in */
  OSTRANA_STATUS_PROC lpMajorStatus;  /* 18 in  non-zero stops an extraction (48) */
  void* lpMajorUserData;              /* 19 in */
  int32_t returnCount;                /* 20 in/out counts; the comment buffer's length */
  char* lpszReturnString;             /* 21 in  buffer for the comment */
  int32_t diagnosticFlag;             /* 22 in */
  int32_t textOutputFlag;             /* 23 in  LF -> CR LF on output */
  int32_t decryptFlag;                /* 24 in */
  const char* lpszDecryptCode;        /* 25 in  at most 128 characters --- end of level 100 */
  OSTRANA_MESSAGE_PROC lpMessageDisplay; /* 26 in */
  void* lpMessageDisplayData;         /* 27 in */
  uint16_t wUnzipSubOptions;          /* 28 in  UNZIP_OPT_* --- end of level 200 */
  OSTRANA_CALLBACK_STRUCT* lpCallbackStruct; /* 29 in  the archive-data callback */
  int32_t lResv2;                     /* 30     reserved */
  OSTRANA_UNZIP_RENAME_PROC lpRenameProc; /* 31 in */
  void* lpRenameUserData;             /* 32 in  passed to both rename callbacks */
  const char* lpszExtProgTitle;       /* 33 in  null: "Extract Progress" */
  void* lpMemBlock;                   /* 34 in  output block of the file-to-memory functions */
  uint32_t lMemBlockSize;             /* 35 in  low 32 bits */
  uint32_t lStartingOffset;           /* 36 in  low 32 bits --- end of level 300 */
  ZIPINFOEX* pZipInfoEx;              /* 37 in  extended item information to fill */
  uint32_t lUnZipSubOptions2;         /* 38 in  UNZIP_OPT2_* */
  uint32_t lMemBlockSizeH;            /* 39 in  high 32 bits */
  uint32_t lStartingOffsetH;          /* 40 in  high 32 bits */
  OSTRANA_UNZIP_RENAME_EX_PROC lpRenameProcEX; /* 41 in */
  int32_t lResv7;                     /* 42 */
  int32_t lResv8;                     /* 43 --- end of level 500 */
  int32_t lResv9;                     /* 44-51 reserved */
  int32_t lResv10;
  int32_t lResv11;
  int32_t lResv12;
  int32_t lResv13;
  int32_t lResv14;
  int32_t lResv15;
  int32_t lResv16;
} UNZIPCMDSTRUCT;
#if UINTPTR_MAX == 0xFFFFFFFF
#pragma pack(pop)
#endif

#define UNZIPCMDSTRUCT_SIZE_L100 ((int32_t)offsetof(UNZIPCMDSTRUCT, lpMessageDisplay))
#define UNZIPCMDSTRUCT_SIZE_L200 ((int32_t)offsetof(UNZIPCMDSTRUCT, lpCallbackStruct))
#define UNZIPCMDSTRUCT_SIZE_L300 ((int32_t)offsetof(UNZIPCMDSTRUCT, pZipInfoEx))
#define UNZIPCMDSTRUCT_SIZE_L500 ((int32_t)offsetof(UNZIPCMDSTRUCT, lResv9))
#define UNZIPCMDSTRUCT_SIZE_L600 ((int32_t)sizeof(UNZIPCMDSTRUCT))

/*****************************************************************************
 *                                Unzip entry                                *
 *****************************************************************************/

/* OstranaUnzip() - run one unzip command.
 *
 * @cmd  the command record.  Read, and on return written back in the caller's
 *       size (returnCount and the other outputs).  The caller's zInfo,
 *       pZipInfoEx and lpszReturnString buffers are written by the functions
 *       that fill them.  NULL is accepted and returns OU_SYNTAX without any
 *       report.
 *
 * Checks, in order, each failing with OU_SYNTAX (47) and the detail shown:
 * record size (no report, only the diagnostic log's result line); archive name
 * unless Function is 10 ("Zip filename not provided"); with freshenFlag or
 * updateFlag: not both ("Can't freshen and update at the same time"), a
 * destination ("Need destination path when updating or freshening") of at
 * least 2 characters ("Destination path not complete") that is absolute
 * ("Destination path must include drive letter"); with decryptFlag a password
 * of at most 128 characters ("Decryption key not provided, or too long");
 * option bit 12 without a data callback ("Command syntax error").  Then the
 * archive is opened (OU_FILE_NOT_FOUND, "Problem reading Zip file") and the
 * function runs; an unknown Function is 47 ("Unknown function requested").
 *
 * Functions 1 to 7 report their own failures with a detail; an extraction (8
 * to 11) ending with a code other than 0 and 44 is reported at its end.  The
 * report "Ostrana Secure UnZip Error: <text> (<detail>)\n" goes to the
 * diagnostic log and, unless quietFlag is set, to lpMessageDisplay with display
 * type 11.  Only the first report of a run counts.
 *
 * @return OU_SUCCESS or an OU_* code.  OU_BUSY (45) when the calling thread is
 *         already inside OstranaUnzip.  OU_NO_STATE (4), without any report,
 *         when no thread state can be had.
 *
 * Threads: each thread has its own unzip state, which keeps the last archive's
 * loaded directory and the position of the item walk (functions 2 and 4)
 * between calls; calls on different threads are independent.
 */
OSTRANA_API int OstranaUnzip(UNZIPCMDSTRUCT* cmd);

OSTRANA_EXTERN_C_END

#if UINTPTR_MAX == 0xFFFFFFFF
#ifdef __cplusplus
static_assert(offsetof(UNZIPCMDSTRUCT, lpMessageDisplay) == 100, "level 100 record");
static_assert(offsetof(UNZIPCMDSTRUCT, lpCallbackStruct) == 110, "level 200 record");
static_assert(offsetof(UNZIPCMDSTRUCT, pZipInfoEx) == 142, "level 300 record");
static_assert(offsetof(UNZIPCMDSTRUCT, lResv9) == 170, "level 500 record");
static_assert(sizeof(UNZIPCMDSTRUCT) == 202, "level 600 record");
#else
_Static_assert(offsetof(UNZIPCMDSTRUCT, lpMessageDisplay) == 100, "level 100 record");
_Static_assert(offsetof(UNZIPCMDSTRUCT, lpCallbackStruct) == 110, "level 200 record");
_Static_assert(offsetof(UNZIPCMDSTRUCT, pZipInfoEx) == 142, "level 300 record");
_Static_assert(offsetof(UNZIPCMDSTRUCT, lResv9) == 170, "level 500 record");
_Static_assert(sizeof(UNZIPCMDSTRUCT) == 202, "level 600 record");
#endif
#endif

#endif /* OSTRANA_UNZIP_H */
