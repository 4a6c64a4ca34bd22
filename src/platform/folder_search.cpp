/* platform/folder_search.cpp - list one folder over POSIX (opendir, lstat, stat). */
#include "platform/folder_search.h"

#include "platform/fault_injection.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

namespace {

/// Bytes of the UTF-8 sequence starting at @p i (1 for a stray byte), never past the end.
size_t sequence_length(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
  size_t end = i + 1;
  while (end < i + n && end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
  return end - i;
}

/// "*" and "?" matching with one backtrack point (the last star): linear in
/// practice, never recursive, whatever the pattern.
bool glob(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += sequence_length(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      resume += sequence_length(name, resume);
      n = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

class DirCloser {
 public:
  explicit DirCloser(DIR* dir) : m_dir(dir) {}
  ~DirCloser() { if (m_dir) closedir(m_dir); }
  DirCloser(const DirCloser&) = delete;
  DirCloser& operator=(const DirCloser&) = delete;

 private:
  DIR* m_dir;
};

}  // namespace

bool name_matches(std::string_view pattern, std::string_view name) {
  // Trailing dots say "no extension": "abc." finds "abc", "*." finds every name
  // (the engine then keeps only the names without a dot).
  while (pattern.size() > 1 && pattern.back() == '.') pattern.remove_suffix(1);
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return glob(pattern, name) || glob(pattern.substr(0, pattern.size() - 2), name);
  }
  return glob(pattern, name);
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

int FolderSearch::open(const std::string& folder) {
  m_folder = folder;
  m_names.clear();
  m_next = 0;
  if (int e = faults::check(faults::Op::kFolder)) return e;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return errno;
  DirCloser closer(dir);
  errno = 0;
  while (struct dirent* d = readdir(dir)) {
    std::string_view name(d->d_name);
    if (name != "." && name != "..") m_names.push_back(Name{std::string(name), d->d_type});
    errno = 0;
  }
  if (errno != 0) {
    int e = errno;
    m_names.clear();
    return e;
  }
  std::sort(m_names.begin(), m_names.end(), [](const Name& a, const Name& b) { return a.text < b.text; });
  return 0;
}

bool FolderSearch::next(std::string_view file_pattern, bool want_folders, FolderEntry* entry_ret) {
  while (m_next < m_names.size()) {
    const Name& n = m_names[m_next++];
    // Without a stat: a plain file that does not match, or a folder nobody wants.
    if (n.type == DT_REG && !name_matches(file_pattern, n.text)) continue;
    if (n.type == DT_DIR && !want_folders) continue;
    std::string path = join_path(m_folder, n.text);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) continue;  // vanished since the listing
    if (S_ISLNK(st.st_mode) && m_links != LinkPolicy::kKeepLinks) {
      struct stat target;
      const bool dangling = ::stat(path.c_str(), &target) != 0;
      if (dangling && m_links == LinkPolicy::kFollowFiles) continue;
      if (!dangling) {
        if (S_ISDIR(target.st_mode) && m_links == LinkPolicy::kFollowFiles) continue;
        st = target;
      }
    }
    bool folder = S_ISDIR(st.st_mode);
    bool file = S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
    if (folder ? !want_folders : !file || !name_matches(file_pattern, n.text)) continue;
    file_info_from_stat(n.text, st, &entry_ret->info);
    entry_ret->name = n.text;
    entry_ret->path = std::move(path);
    return true;
  }
  return false;
}

}  // namespace platform
