/* engine/unzip/output_path.cpp - where an item goes: its stored name made safe. */
#include "engine/unzip/output_path.h"

#include <vector>

namespace ostrana {

OutputName output_name_of(std::string_view stored_name, bool base_name_only) {
  OutputName out;
  if (stored_name.find('\0') != std::string_view::npos) {
    out.usable = false;
    return out;
  }
  std::string name(stored_name);
  for (char& c : name)
    if (c == '\\') c = '/';
  out.folder = !name.empty() && name.back() == '/';
  size_t start = name.find_first_not_of('/');
  if (start == std::string::npos) start = name.size();
  // A drive prefix, with or without a separator after it: "C:" or "C:/".
  if (name.size() - start >= 2 && name[start + 1] == ':' &&
      ((name[start] >= 'A' && name[start] <= 'Z') || (name[start] >= 'a' && name[start] <= 'z'))) {
    start += 2;
    while (start < name.size() && name[start] == '/') ++start;
  }

  std::vector<std::string_view> parts;
  std::string_view rest = std::string_view(name).substr(start);
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    parts.push_back(part);
  }
  if (base_name_only) {
    // Only the base name is used: the folders of a folder entry are dropped.
    if (out.folder || parts.empty()) parts.clear();
    else parts.erase(parts.begin(), parts.end() - 1);
  }
  for (std::string_view part : parts) {
    if (part == "..") out.usable = false;
    if (!out.relative.empty()) out.relative += '/';
    out.relative += part;
  }
  if (out.relative.empty() && !out.folder) out.usable = false;
  return out;
}

std::string output_path_of(const std::string& destination, const OutputName& name) {
  std::string path = destination + name.relative;
  if (name.folder && !name.relative.empty()) path += '/';
  return path;
}

}  // namespace ostrana
