/* platform/folder_search.h - list one folder: its files matching a pattern and its subfolders.
 *
 * This is the engine's "find files" service.  A search reads all names of one
 * folder at open time and hands them out in byte order (so a walk is the same on
 * every file system), examining each entry only when it is handed out: a file
 * that vanishes while the engine works on earlier entries is passed over, not
 * reported with stale facts.
 *
 * What is handed out: regular files whose name matches the pattern, and (when
 * asked for) subfolders.  Symbolic links by the search's LinkPolicy:
 *   kFollowFiles (the default)  a link to a file is handed out as the file it
 *                               points to (its own name, the target's facts);
 *                               links to folders and dangling links are not;
 *   kKeepLinks                  every link matching the pattern is handed out
 *                               as the link itself (FileInfo::is_link());
 *   kFollowAll                  a link to a file as the file, a link to a
 *                               folder as a folder, a dangling link as itself.
 * A walk that follows links to folders must guard against loops itself (by
 * device and inode).  Devices, FIFOs and sockets are passed over (reading a
 * FIFO would block forever).  "." and ".." are never handed out.
 *
 * Patterns (name_matches): "*" any run of characters, "?" exactly one character
 * (one UTF-8 sequence), everything else compared exactly: Linux names are case
 * sensitive.  As the system's callers expect of a file search, a pattern ending
 * in ".*" also matches names without that extension ("*.*" matches every name,
 * with or without a dot), and a pattern ending in "." matches as if the dot were
 * not there.
 */
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_info.h"

namespace platform {

struct FolderEntry {
  std::string name;  ///< the name inside the folder
  std::string path;  ///< folder + "/" + name (just the name when the folder is "")
  FileInfo info;     ///< facts of the file (of the link's target for a link)
};

enum class LinkPolicy { kFollowFiles, kKeepLinks, kFollowAll };

class FolderSearch {
 public:
  explicit FolderSearch(LinkPolicy links = LinkPolicy::kFollowFiles) : m_links(links) {}

  /// Reads the names of @p folder ("" is the current folder).  @return 0 or errno.
  int open(const std::string& folder);

  /// Hands out the next regular file matching @p file_pattern or, when
  /// @p want_folders is set, the next subfolder.  @return false at the end.
  bool next(std::string_view file_pattern, bool want_folders, FolderEntry* entry_ret);

 private:
  struct Name {
    std::string text;
    unsigned char type;  ///< d_type from the listing (DT_UNKNOWN when the file system does not say)
  };
  LinkPolicy m_links;
  std::string m_folder;
  std::vector<Name> m_names;
  size_t m_next = 0;
};

/// True when @p name matches the file-search pattern @p pattern (see above).
bool name_matches(std::string_view pattern, std::string_view name);

/// @p folder joined with @p name: "" + name is name, "/" + name is "/name".
std::string join_path(std::string_view folder, std::string_view name);

}  // namespace platform
