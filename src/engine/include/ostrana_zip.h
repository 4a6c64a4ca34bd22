/* ostrana_zip.h - the zip command record and the zip entry of Ostrana Secure Zip.
 *
 * A caller fills one ZIPCMDSTRUCT (the archive, the items, every option, the
 * callbacks), sets structSize and calls OstranaZip(), which returns a small
 * result code (OZ_*, ostrana_results.h; 0 is success).  Everything the engine
 * reports on the way comes back through the callbacks of the record.
 *
 * Record sizes.  The record grew in five steps; the engine accepts each older
 * form, the record "cut after" a given field, and derives a behaviour level
 * from it.  Because the record holds pointers the cut sizes depend on the
 * platform: use the ZIPCMDSTRUCT_SIZE_* constants, never literal numbers.  On
 * a 32-bit build they are 148, 160, 188, 220 and 252 bytes.
 *
 *   constant               cut after field          level
 *   ZIPCMDSTRUCT_SIZE_L100  37 lpszEncryptCode        100
 *   ZIPCMDSTRUCT_SIZE_L200  41 wZipSubOptions         200
 *   ZIPCMDSTRUCT_SIZE_L300  48 lMemBlockSize          300
 *   ZIPCMDSTRUCT_SIZE_L500  56 lResv8                 500
 *   ZIPCMDSTRUCT_SIZE_L600  64 lResv16 (the full one) 600
 *
 * Fields beyond the caller's size read as zero; below level 300 the progress
 * title reads "Compress Progress".  Level 100 callers' major-status results
 * are ignored; below level 200 the minor-status result is ignored.
 */
#ifndef OSTRANA_ZIP_H
#define OSTRANA_ZIP_H

#include <stddef.h>
#include <stdint.h>

#include "ostrana_callbacks.h"
#include "ostrana_export.h"
#include "ostrana_results.h"

OSTRANA_EXTERN_C_BEGIN

/* ---- Function codes ------------------------------------------------------ */
#define ZIP_FRESHEN 1            /* replace entries whose file is newer */
#define ZIP_DELETE 2             /* remove the named entries */
#define ZIP_UPDATE 3             /* replace newer entries, add new files */
#define ZIP_ADD 4                /* add or replace */
#define ZIP_ADD_5 5              /* performed as ZIP_ADD */
#define ZIP_MEMORY_TO_MEMORY 6   /* compress one item without any archive file */
#define ZIP_ADD_FROM_CALLBACK 7  /* add one entry whose data comes from the data callback */

/* ---- wZipSubOptions bits ------------------------------------------------- */
#define ZIP_OPT_RELATIVE_TO_ROOT 0x0001   /* bit 0: names relative to the root folder */
#define ZIP_OPT_MINOR_CANCELS 0x0002      /* bit 1: honour lpMinorStatus's result */
#define ZIP_OPT_EXT_PROGRESS 0x0004       /* bit 2: external progress program (accepted; callbacks only here) */
#define ZIP_OPT_EXT_PROGRESS_C 0x0008     /* bit 3: its mode letter "c" instead of "n" */
#define ZIP_OPT_SKIP_LONG_NAMES 0x0010    /* bit 4: skip names that are not 8.3 */
#define ZIP_OPT_SHORTEN_NAMES 0x0020      /* bit 5: store names in 8.3 form */
#define ZIP_OPT_EXCLUSIVE_OPEN 0x0040     /* bit 6: open files exclusively, ask about files in use */
#define ZIP_OPT_ANY_MEDIA 0x0080          /* bit 7: multi-volume output need not be removable */
#define ZIP_OPT_ACTIVITY_LOG 0x0100       /* bit 8: write the activity log */
#define ZIP_OPT_ARCHIVE_BIT_ONLY 0x0200   /* bit 9: only files with the archive attribute */
#define ZIP_OPT_CLEAR_ARCHIVE_BIT 0x0400  /* bit 10: with bit 9, store the archive bit cleared */
#define ZIP_OPT_ANSI_NAMES 0x0800         /* bit 11: keep names as they are (no OEM conversion) */
#define ZIP_OPT_NEED_DATA_CALLBACK 0x1000 /* bit 12: memory operations need a data callback */
#define ZIP_OPT_RENAME_CALLBACKS 0x2000   /* bit 13: call the rename callbacks */
#define ZIP_OPT_NO_PUMP 0x4000            /* bit 14: do not pump the application's events */
#define ZIP_OPT_ALL_NEW 0x8000            /* bit 15: no lookup among existing entries */

/* ---- lZipSubOptions2 bits ------------------------------------------------ */
#define ZIP_OPT2_MATCH_WHOLE_PATH 0x0001 /* bit 0: patterns match the whole stored path */
#define ZIP_OPT2_RENAME_EX 0x0002        /* bit 1: call lpRenameProcEX instead of lpRenameProc */
#define ZIP_OPT2_AES 0x0004              /* bit 2: AES strong encryption (lSEInfo bits 0-1: 1, 2, 3) */
#define ZIP_OPT2_AES_ZIP_FORMAT 0x0008   /* bit 3: with bit 2, the ZIP AES format (method 99, AE-2) that
                                            every current reader opens; refused (16) without bit 2 */
#define ZIP_OPT2_RESERVED_3 ZIP_OPT2_AES_ZIP_FORMAT /* the bit's earlier name */
#define ZIP_OPT2_FOLLOW_LINKS 0x0010     /* bit 4: store what symbolic links point to, not the links */
#define ZIP_OPT2_ONE_THREAD 0x0020       /* bit 5: compress on the calling thread only (default: one
                                            thread per processor, or the OSTRANA_THREADS setting) */

/* ---- wMultiVolControl bits ----------------------------------------------- */
#define ZIP_MV_ENABLED 0x8000         /* bit 15: multi-volume output */
#define ZIP_MV_SPLIT 0x4000           /* bit 14: numbered split files instead of disks */
#define ZIP_MV_64BIT_SIZES 0x2000     /* bit 13: pulFileSizeArray holds 64-bit sizes (low word first) */
#define ZIP_MV_DIRECTORY_FIRST 0x1000 /* bit 12: directory-first layout */
#define ZIP_MV_WIPE_PROTECTED 0x0400  /* bit 10: wiping deletes read-only/hidden/system files too */
#define ZIP_MV_WIPE_TREE 0x0200       /* bit 9: wiping deletes the whole folder tree */
#define ZIP_MV_WIPE 0x0100            /* bit 8: wipe each new disk */
#define ZIP_MV_LOW_DENSITY 0x0002     /* bit 1: format at the drive's lower density */
#define ZIP_MV_FORMAT 0x0001          /* bit 0: format each new disk */
#define ZIP_MV_DISK_BITS 0x0703       /* the bits that concern disks (refused with bit 14) */

/* Zip display types (lpMessageDisplay's first argument):
 *   0  request  insert the first (code -1), the next (code, extra != -1) or the last disk
 *   1  request  "Please insert Disk Volume %d of %d." (code, extra)
 *   2, 3, 4     archive open / read / write error
 *   5, 6, 7     non-removable target / same volume / volume not wiped or formatted
 *   10          invalid first disk
 *   11          the error report of the run (unless quietFlag)
 *   12          a warning, 14 a finished archive or split part, 16 a file skipped
 *   13          the text offer (ostrana_callbacks.h)
 * Type 14 is never shown by the engine itself: without a callback it answers 1. */

/* ---- The command record -------------------------------------------------- */
typedef struct ZIPCMDSTRUCT {
  int32_t structSize;                  /*  1 ZIPCMDSTRUCT_SIZE_* */
  int32_t Function;                    /*  2 ZIP_* function code */
  const char* lpszZIPFile;             /*  3 the archive */
  const char* lpszItemList;            /*  4 items: names and patterns, blank-separated, "quoted" */
  OSTRANA_STATUS_PROC lpMajorStatus;   /*  5 progress over the items; non-zero cancels (9) */
  void* lpMajorUserData;               /*  6 */
  OSTRANA_STATUS_PROC lpMinorStatus;   /*  7 progress within an item */
  void* lpMinorUserData;               /*  8 */
  int32_t dosifyFlag;                  /*  9 bit 0: upper-case names, DOS attributes only */
  int32_t recurseFlag;                 /* 10 descend into subfolders */
  int32_t compFactor;                  /* 11 0 store, 1..9 deflate, 10..19 Deflate64 at factor-10 */
  int32_t quietFlag;                   /* 12 no message boxes; default answers */
  int32_t pathForTempFlag;             /* 13 build the new archive in lpszTempPath */
  const char* lpszTempPath;            /* 14 */
  int32_t fixFlag;                     /* 15 rebuild the directory from the local headers */
  int32_t fixHarderFlag;               /* 16 scan the whole file for local headers */
  int32_t includeVolumeFlag;           /* 17 store the source volume's label */
  int32_t deleteOriginalFlag;          /* 18 delete source files once stored */
  int32_t growExistingFlag;            /* 19 append in place */
  int32_t noDirectoryNamesFlag;        /* 20 store names without folders */
  int32_t convertLFtoCRLFFlag;         /* 21 convert line ends of text files */
  int32_t addCommentFlag;              /* 22 set the archive comment */
  const char* lpszComment;             /* 23 */
  int32_t afterDateFlag;               /* 24 only files dated on or after lpszDate */
  const char* lpszDate;                /* 25 "MMDDYY" */
  int32_t oldAsLatestFlag;             /* 26 archive time = newest entry's time */
  int32_t includeOnlyFollowingFlag;    /* 27 */
  const char* lpszIncludeFollowing;    /* 28 include patterns */
  int32_t excludeFollowingFlag;        /* 29 */
  const char* lpszExludeFollowing;     /* 30 exclude patterns (the name is spelled so) */
  int32_t noDirectoryEntriesFlag;      /* 31 no separate folder entries */
  int32_t includeSysHiddenFlag;        /* 32 also hidden and system files */
  int32_t dontCompressTheseSuffixesFlag; /* 33 */
  const char* lpszStoreSuffixes;       /* 34 ".zip:.gz:..." stored uncompressed */
  int32_t diagnosticFlag;              /* 35 write the diagnostic log */
  int32_t encryptFlag;                 /* 36 encrypt with lpszEncryptCode */
  const char* lpszEncryptCode;         /* 37 the password --- end of level 100 */
  OSTRANA_MESSAGE_PROC lpMessageDisplay; /* 38 */
  void* lpMessageDisplayData;          /* 39 */
  uint16_t wMultiVolControl;           /* 40 multi-volume and media options */
  uint16_t wZipSubOptions;             /* 41 ZIP_OPT_* --- end of level 200 */
  OSTRANA_CALLBACK_STRUCT* lpCallbackStruct; /* 42 data callback of the memory operations */
  int32_t lResv2;                      /* 43 reserved */
  OSTRANA_ZIP_RENAME_PROC lpRenameProc; /* 44 */
  void* lpRenameUserData;              /* 45 passed to both rename callbacks */
  const char* lpszExtProgTitle;        /* 46 progress title; null: "Compress Progress" */
  void* lpMemBlock;                    /* 47 content of the single entry named by lpszItemList */
  uint32_t lMemBlockSize;              /* 48 its size, low 32 bits --- end of level 300 */
  int32_t LargeZIPFilesFlag;           /* 49 allow Zip64 archives and entries */
  uint32_t* pulFileSizeArray;          /* 50 split volume sizes, zero-terminated */
  uint32_t lZipSubOptions2;            /* 51 ZIP_OPT2_* */
  uint32_t lMemBlockSizeH;             /* 52 lpMemBlock's size, high 32 bits */
  OSTRANA_ZIP_RENAME_EX_PROC lpRenameProcEX; /* 53 */
  int32_t lSEInfo;                     /* 54 bits 0-1: AES strength 1, 2, 3 */
  int32_t lResv7;                      /* 55 */
  int32_t lResv8;                      /* 56 --- end of level 500 */
  int32_t lResv9;                      /* 57-64 reserved */
  int32_t lResv10;
  int32_t lResv11;
  int32_t lResv12;
  int32_t lResv13;
  int32_t lResv14;
  int32_t lResv15;
  int32_t lResv16;
} ZIPCMDSTRUCT;

#define ZIPCMDSTRUCT_SIZE_L100 ((int32_t)offsetof(ZIPCMDSTRUCT, lpMessageDisplay))
#define ZIPCMDSTRUCT_SIZE_L200 ((int32_t)offsetof(ZIPCMDSTRUCT, lpCallbackStruct))
#define ZIPCMDSTRUCT_SIZE_L300 ((int32_t)offsetof(ZIPCMDSTRUCT, LargeZIPFilesFlag))
#define ZIPCMDSTRUCT_SIZE_L500 ((int32_t)offsetof(ZIPCMDSTRUCT, lResv9))
#define ZIPCMDSTRUCT_SIZE_L600 ((int32_t)sizeof(ZIPCMDSTRUCT))

/*****************************************************************************
 *                                 Zip entry                                 *
 *****************************************************************************/

/* OstranaZip() - run one zip command.
 *
 * @cmd  the command record; read only, never written.  NULL is accepted and
 *       returns OZ_BAD_PARAMETERS without any report.
 *
 * The entry checks the record in a fixed order and stops at the first failure:
 * record size (16), archive name unless Function is 6 (16), encryption
 * settings (16; 4 when the AES work area cannot be had), multi-volume settings
 * (20), Function 1..7 (16), the memory operations' needs (16), the date of
 * afterDateFlag (16, "invalid date") and the options ZIP_DELETE refuses (16).
 * Then it runs the operation.  Only the first failure of a run is reported:
 * its text, "<result text> (<detail>)\n", goes to the diagnostic log and, unless
 * quietFlag is set, to lpMessageDisplay with display type 11.
 *
 * @return OZ_SUCCESS, or an OZ_* code (ostrana_results.h).  OZ_BUSY when the
 *         calling thread is already inside OstranaZip (a callback calling back).
 *         OZ_OUT_OF_MEMORY, without any report, when no thread state can be had.
 *
 * Threads: each thread has its own zip state (created on first use, see
 * OstranaZipStateCreate); calls on different threads are independent.  All
 * callbacks run on the calling thread before the call returns.
 */
OSTRANA_API int OstranaZip(const ZIPCMDSTRUCT* cmd);

OSTRANA_EXTERN_C_END

/* The sizes of a 32-bit build, as older callers know them. */
#if UINTPTR_MAX == 0xFFFFFFFF
#ifdef __cplusplus
static_assert(offsetof(ZIPCMDSTRUCT, lpMessageDisplay) == 148, "level 100 record");
static_assert(offsetof(ZIPCMDSTRUCT, lpCallbackStruct) == 160, "level 200 record");
static_assert(offsetof(ZIPCMDSTRUCT, LargeZIPFilesFlag) == 188, "level 300 record");
static_assert(offsetof(ZIPCMDSTRUCT, lResv9) == 220, "level 500 record");
static_assert(sizeof(ZIPCMDSTRUCT) == 252, "level 600 record");
#else
_Static_assert(offsetof(ZIPCMDSTRUCT, lpMessageDisplay) == 148, "level 100 record");
_Static_assert(offsetof(ZIPCMDSTRUCT, lpCallbackStruct) == 160, "level 200 record");
_Static_assert(offsetof(ZIPCMDSTRUCT, LargeZIPFilesFlag) == 188, "level 300 record");
_Static_assert(offsetof(ZIPCMDSTRUCT, lResv9) == 220, "level 500 record");
_Static_assert(sizeof(ZIPCMDSTRUCT) == 252, "level 600 record");
#endif
#endif

#endif /* OSTRANA_ZIP_H */
