/* engine/unzip/memory_to_memory.h - function 10: an item in and out through the caller's callback.
 *
 * The caller hands the engine one item through the archive-data callback
 * (direction 0): its 46-byte central header (the signature must be a central
 * header's), its name, extra field and comment, then its stored (possibly
 * encrypted) data, as many bytes as the header's compressed size.  The local
 * header's fields are taken from the central header.  The item is decrypted
 * and expanded like any other, and its bytes go back through the same
 * callback (direction 1).  The check (CRC-32 or AES authentication code) is
 * made as for a file.  A deflate stream that ends between blocks counts as
 * complete here.  No archive file is read.
 */
#pragma once

#include "engine/unzip/unzip_state.h"

namespace ostrana {

/// Runs function 10.  @return the run's code.
int unzip_memory_to_memory(UnzipRun& run);

}  // namespace ostrana
