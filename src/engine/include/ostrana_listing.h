/* ostrana_listing.h - the column texts of an archive listing.
 *
 * An archive listing (the application's, `ostrana list`) shows each item with
 * the same texts, made from the values of the item-information records
 * (ostrana_info.h).  These functions give them, so that every listing reads
 * the same.  The text functions write a NUL-terminated text into the caller's
 * buffer, cut to fit, and return its full length (as snprintf does); a buffer
 * of OSTRANA_LISTING_TEXT_SIZE bytes always holds the whole text.
 */
#ifndef OSTRANA_LISTING_H
#define OSTRANA_LISTING_H

#include <stddef.h>
#include <stdint.h>

#include "ostrana_export.h"

OSTRANA_EXTERN_C_BEGIN

#define OSTRANA_LISTING_TEXT_SIZE 32

/* "Store", "Shrunk", "Reduce1".."Reduce4", "Implode", "Tokenize", "Deflate",
 * "Deflate64" for methods 0..9, "Unknown" for any other.  Static text. */
OSTRANA_API const char* OstranaMethodName(int method);

/* "none" when @encrypted is 0; else the text of pZipInfoEx's lEncryptionClass,
 * e.g. "Zip 2.04 Compatible", "wZip AES-1 [256 bit]", "3DES [168 bit]". */
OSTRANA_API int OstranaEncryptionText(int encrypted, int32_t encryptionClass, char* buf, size_t avail);

/* The share of the size that compression saved, in per mille (0..1000). */
OSTRANA_API int OstranaRatioPerMille(uint64_t uncompressed, uint64_t compressed);

/* "%d.%d%%" of a per-mille value, e.g. "62.5%". */
OSTRANA_API int OstranaRatioText(int perMille, char* buf, size_t avail);

/* Eight characters: A S V S H R ("-" when clear) for the DOS attributes 0x20,
 * 0x10, 0x08, 0x04, 0x02, 0x01, then "E" (0x8000, encrypted) and "L" (0x10000,
 * long name), each a blank when clear. */
OSTRANA_API int OstranaAttributeText(int32_t attributes, char* buf, size_t avail);

/* "0x%08X". */
OSTRANA_API int OstranaCrcText(uint32_t crc, char* buf, size_t avail);

OSTRANA_EXTERN_C_END

#endif /* OSTRANA_LISTING_H */
