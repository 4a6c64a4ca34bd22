/* ostrana_info.h - the item-information records of Ostrana Secure UnZip.
 *
 * The unzip entry describes one archive item in one of two caller-supplied
 * records: the short `zInfo` (32-bit sizes, names cut at 259 characters) or the
 * extended `pZipInfoEx` (64-bit sizes, 2,048-character names, versions and
 * encryption class).  Both are packed, hold no pointers and so keep the same
 * size on every platform: 310 and 2,150 bytes.  The caller points the command
 * record's `zInfo` or `pZipInfoEx` field at one of them; the engine fills every
 * field except the first word of `pZipInfoEx`, which stays the caller's.
 *
 * The record types are `struct zInfo` and `struct pZipInfoEx`; the typedefs
 * ZINFO and ZIPINFOEX let a command record declare fields that carry the same
 * names as the types (`ZINFO* zInfo;`).
 *
 * Texts are NUL-terminated 8-bit strings (UTF-8 on this platform).
 */
#ifndef OSTRANA_INFO_H
#define OSTRANA_INFO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- attribute word of both records ------------------------------------- */
/* Low 15 bits: the DOS attributes of the item's external attributes. */
#define OSTRANA_ATTR_READONLY 0x01
#define OSTRANA_ATTR_HIDDEN 0x02
#define OSTRANA_ATTR_SYSTEM 0x04
#define OSTRANA_ATTR_VOLUME 0x08
#define OSTRANA_ATTR_FOLDER 0x10
#define OSTRANA_ATTR_ARCHIVE 0x20
#define OSTRANA_ATTR_ENCRYPTED 0x8000  /* general purpose flag bit 0 is set */
#define OSTRANA_ATTR_LONG_NAME 0x10000 /* the name is not an 8.3 name */

/* ---- encryption class of pZipInfoEx (0 when the item is not encrypted) --- */
/* High byte of the low word: the scheme; low byte: the key strength.        */
#define OSTRANA_ENC_TRADITIONAL 0x000  /* traditional PKWARE encryption */
#define OSTRANA_ENC_AE1 0x100          /* AES extra field, AE-1; + 1/2/3 for 128/192/256, 0xFF other */
#define OSTRANA_ENC_AE2 0x200          /* AES extra field, AE-2; likewise */
#define OSTRANA_ENC_STRONG_AES 0x800   /* strong encryption AES; + 1/2/3 for 128/192/256 */
#define OSTRANA_ENC_STRONG_DES 0x900   /* algorithm 0x6601 */
#define OSTRANA_ENC_STRONG_3DES112 0xA00 /* algorithm 0x6609 */
#define OSTRANA_ENC_STRONG_3DES168 0xB00 /* algorithm 0x6603 */
#define OSTRANA_ENC_STRONG_RC2_OLD 0xC00 /* algorithm 0x6602 (RC2 before version 5.2) */
#define OSTRANA_ENC_STRONG_RC2 0xD00   /* algorithm 0x6702 */
#define OSTRANA_ENC_STRONG_RC4 0xE00   /* algorithm 0x6801 */
#define OSTRANA_ENC_UNKNOWN 0xFF00     /* any other scheme or algorithm */

#pragma pack(push, 1)

/* Short item information: 310 bytes.  Filled by functions 2, 4 and 7. */
struct zInfo {
  int16_t wIndex;              /* 0-based item number in directory order */
  uint32_t dwUncompressedSize; /* from the central header (low 32 bits) */
  uint32_t dwCompressedSize;   /* from the central header (low 32 bits) */
  int16_t wMethod;             /* compression method; an AES item's real method */
  int16_t wFlags;              /* general purpose flags */
  int16_t wIsFolder;           /* 1 when the name contains "/" */
  uint32_t dwCRC32;            /* CRC-32 from the central header */
  char szDate[18];             /* "MM/DD/YY  hh:mm" */
  char szFileName[260];        /* the stored name, cut at 259 characters */
  int32_t lAttributes;         /* attribute word (OSTRANA_ATTR_*) */
  int32_t lSeconds;            /* seconds of the modification time */
  int32_t lResv;               /* 0 */
};

/* Extended item information: 2,150 bytes.  Filled by functions 2, 4 and 7. */
struct pZipInfoEx {
  int32_t lCallerWord;          /* the caller's; never written by the engine */
  int32_t lIndex;               /* 0-based item number in directory order */
  uint64_t qwUncompressedSize;  /* 64-bit, from the Zip64 extra field when saturated */
  uint64_t qwCompressedSize;    /* likewise */
  int32_t lAttributes;          /* attribute word (OSTRANA_ATTR_*) */
  uint32_t dwCRC32;             /* CRC-32 from the central header */
  int16_t wMethod;              /* compression method; an AES item's real method */
  int16_t wFlags;               /* general purpose flags */
  int16_t wIsFolder;            /* 1 when the name contains "/" */
  char szDate[32];              /* "MM/DD/YYYY  hh:mm:ss" */
  char szFileName[2048];        /* the stored name, NUL-terminated */
  int32_t lSeconds;             /* seconds of the modification time */
  int32_t lVersions;            /* version made by (low 16 bits), needed to extract (high 16) */
  int32_t lEncryptionClass;     /* OSTRANA_ENC_* when encrypted, else 0 */
  int32_t lResv[5];             /* 0 */
};

#pragma pack(pop)

typedef struct zInfo ZINFO;
typedef struct pZipInfoEx ZIPINFOEX;

#ifdef __cplusplus
}
static_assert(sizeof(struct zInfo) == 310, "zInfo is 310 bytes, packed");
static_assert(sizeof(struct pZipInfoEx) == 2150, "pZipInfoEx is 2,150 bytes, packed");
#else
_Static_assert(sizeof(struct zInfo) == 310, "zInfo is 310 bytes, packed");
_Static_assert(sizeof(struct pZipInfoEx) == 2150, "pZipInfoEx is 2,150 bytes, packed");
#endif

#endif /* OSTRANA_INFO_H */
