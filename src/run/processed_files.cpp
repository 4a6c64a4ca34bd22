/* run/processed_files.cpp - "delete after": the files a zip run stored, and their safe deletion. */
#include "run/processed_files.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/file.h"

namespace run {
namespace {

bool has_parent_step(const std::string& name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return true;
    start = end + 1;
  }
  return false;
}

// "MM/DD/YYYY  hh:mm:ss" of the listing as a local time; -1 when it does not parse.
int64_t listed_time(const std::string& text) {
  std::tm tm{};
  if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &tm.tm_mon, &tm.tm_mday, &tm.tm_year, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec) != 6)
    return -1;
  tm.tm_mon -= 1;
  tm.tm_year -= 1900;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

constexpr int64_t kDosTimeStep = 2;

std::string clean(const std::string& path) { return std::filesystem::path(path).lexically_normal().string(); }

}  // namespace

ArchiveTester engine_archive_tester(bridge::ProgramInstance instance) {
  return [instance](const std::string& archive, std::vector<TestedEntry>* entries) -> int32_t {
    const int32_t tested = bridge::test_archive(instance, archive.c_str(), nullptr, nullptr);
    if (tested != 0) return tested;
    std::vector<bridge::ArchiveItem> items;
    if (const int32_t listed = bridge::list_archive(instance, nullptr, archive.c_str(), &items, nullptr, nullptr))
      return listed;
    for (const bridge::ArchiveItem& item : items)
      entries->push_back({item.name.toStdString(), item.uncompressed_size, item.is_folder,
                          listed_time(item.date_text.toStdString())});
    return 0;
  };
}

std::string processed_file_path(const std::string& originating_folder, const std::string& name) {
  if (name.empty() || has_parent_step(name)) return {};
  if (originating_folder.empty()) return name;
  const std::string path = clean("/" + name);
  std::string tree = clean(originating_folder);
  if (tree.empty() || tree[0] != '/') return {};
  if (tree.back() != '/') tree += '/';
  if (tree != "/" && path.compare(0, tree.size(), tree) != 0) return {};
  return path;
}

void ProcessedFiles::note_reading(const std::string& name, const std::string& path) {
  auto [it, inserted] = m_noted.try_emplace(name);
  if (!inserted) return;
  it->second.path = path;
  it->second.have_state = !path.empty() && platform::file_info(path, &it->second.read_state) == 0 &&
                          !it->second.read_state.is_folder();
}

void ProcessedFiles::note_finished(const std::string& name) {
  Noted& noted = m_noted[name];
  if (noted.finished) return;  // an entry written twice (Zip64) reports 100 % twice
  noted.finished = true;
  m_order.push_back(name);
}

void ProcessedFiles::clear() {
  m_noted.clear();
  m_order.clear();
}

ProcessedFiles::Report ProcessedFiles::delete_verified(const std::string& archive,
                                                       const std::string& originating_folder,
                                                       const ArchiveTester& tester) const {
  Report report;
  if (m_order.empty()) return report;  // nothing to delete, nothing to prove
  std::vector<TestedEntry> entries;
  report.test_result = tester(archive, &entries);
  if (report.test_result != 0) {
    report.kept = m_order;
    return report;
  }
  std::map<std::string, const TestedEntry*> by_name;
  for (const TestedEntry& e : entries)
    if (!e.folder) by_name[e.name] = &e;

  for (const std::string& name : m_order) {
    const Noted& noted = m_noted.at(name);
    const std::string path = processed_file_path(originating_folder, name);
    const auto entry = by_name.find(name);
    platform::FileInfo now;
    const bool unchanged = noted.have_state && !path.empty() && path == noted.path &&
                           platform::file_info(path, &now) == 0 && now.same_state(noted.read_state);
    const bool stored_whole = entry != by_name.end() && entry->second->size == noted.read_state.size &&
                              entry->second->mtime >= 0 &&
                              std::llabs(entry->second->mtime - noted.read_state.mtime) <= kDosTimeStep;
    if (!unchanged || !stored_whole) {
      report.kept.push_back(name);
      continue;
    }
    if (platform::remove_file(path) == 0)
      report.deleted.push_back(path);
    else
      report.failed.push_back(path);
  }
  return report;
}

}  // namespace run
