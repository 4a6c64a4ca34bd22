/* ostrana.h - the whole public interface of Ostrana Secure Zip/UnZip.
 *
 *   ostrana_results.h    result codes of both sides (OZ_*, OU_*)
 *   ostrana_callbacks.h  callback types, rename records, the data callback
 *   ostrana_info.h       item information records (zInfo, pZipInfoEx)
 *   ostrana_zip.h        ZIPCMDSTRUCT and OstranaZip()
 *   ostrana_unzip.h      UNZIPCMDSTRUCT and OstranaUnzip()
 *   ostrana_engine.h     start and end, thread states, hooks, result names
 *   ostrana_listing.h    the column texts of an archive listing
 *
 * Everything is C: plain records, function pointers with a user-data word,
 * integer results.  Nothing is thrown across this interface.
 */
#ifndef OSTRANA_H
#define OSTRANA_H

#include "ostrana_results.h"
#include "ostrana_callbacks.h"
#include "ostrana_info.h"
#include "ostrana_zip.h"
#include "ostrana_unzip.h"
#include "ostrana_engine.h"
#include "ostrana_listing.h"

#endif /* OSTRANA_H */
