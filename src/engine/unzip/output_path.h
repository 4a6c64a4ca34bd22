/* engine/unzip/output_path.h - where an item goes: its stored name made safe.
 *
 * An item is written to the destination folder followed by its stored name
 * (only its base name with noDirectoryNamesFlag).  The stored name comes from
 * an untrusted archive, so it is taken apart before it is used:
 *   - "\" is read as a folder separator, as "/" is (archives made on
 *     Windows by careless tools use it);
 *   - a leading "/" (any number of them) and a drive prefix ("C:") are
 *     dropped: nothing lands outside the destination by an absolute name;
 *   - empty and "." components are dropped;
 *   - a ".." component makes the item unusable: it is never written (the
 *     extraction skips it with 49 and a warning naming it), since it would
 *     climb out of the destination;
 *   - a name with a NUL byte, or one that is empty once cleaned (a file
 *     named "/" or "."), is unusable too.
 * A name ending in a separator is a folder entry.
 */
#pragma once

#include <string>
#include <string_view>

namespace ostrana {

struct OutputName {
  std::string relative;   ///< "/"-separated components below the destination ("" = the destination)
  bool folder = false;    ///< a folder entry
  bool usable = true;     ///< false: climbs out of the destination, or no name is left
};

/// The output name of an item stored as @p stored_name (UTF-8, as shown);
/// with @p base_name_only only its last component is kept.
OutputName output_name_of(std::string_view stored_name, bool base_name_only);

/// @p destination (ending in "/", or "") joined with @p name: the path shown
/// to the user, passed to the rename callbacks and compared with the archive.
std::string output_path_of(const std::string& destination, const OutputName& name);

}  // namespace ostrana
