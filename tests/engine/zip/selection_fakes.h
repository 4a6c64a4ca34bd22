/* tests/engine/zip/selection_fakes.h - stand-ins for the hooks of the item selection.
 *
 * Each fake records what the selection asked of it, so tests can check the
 * questions, log lines, polls and marks, and answers from a script.
 */
#pragma once

#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/zip/selection_hooks.h"

namespace selection_test {

using namespace ostrana;

inline void write_file(const std::string& path, const std::string& content = "x") {
  std::ofstream(path, std::ios::binary) << content;
}

inline void make_folder(const std::string& path) { ::mkdir(path.c_str(), 0755); }

inline std::vector<std::string> names_of(const std::vector<SelectedFile>& nodes) {
  std::vector<std::string> names;
  for (const SelectedFile& f : nodes) names.push_back(f.name);
  return names;
}

/// Counts reports and polls; cancels once the poll count reaches cancel_at (0: never).
class FakeProgress : public ProgressHook {
 public:
  int major_status(const char* text, int percent) override {
    reports.push_back(std::string(text) + "@" + std::to_string(percent));
    return cancel_report ? 1 : 0;
  }
  int poll() override { return ++polls == cancel_at ? 1 : 0; }
  void pump() override { ++pumps; }

  std::vector<std::string> reports;
  long polls = 0, pumps = 0, cancel_at = 0;
  bool cancel_report = false;
};

class FakeMessages : public MessageHook {
 public:
  int display(int type, unsigned style, const std::string& text) override {
    shown.push_back(std::to_string(type) + "/" + std::to_string(style) + ": " + text);
    if (answers.empty()) return 1;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> shown;
  std::deque<int> answers;
};

class FakeLog : public ActivityLogHook {
 public:
  void write_line(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

class FakeRename : public RenameHook {
 public:
  explicit FakeRename(std::function<void(RenameRequest&)> f) : m_f(std::move(f)) {}
  void rename(RenameRequest& request) override { m_f(request); }

 private:
  std::function<void(RenameRequest&)> m_f;
};

/// The archive's entries as the writer would keep them.
class FakeEntries : public ExistingEntries {
 public:
  explicit FakeEntries(std::vector<std::string> n) : names(std::move(n)), marked(names.size(), false),
                                                    sources(names.size()) {}
  size_t entry_count() const override { return names.size(); }
  std::string_view entry_name(size_t i) const override { return names[i]; }
  void mark_entry(size_t i) override { marked[i] = true; }
  void set_entry_source(size_t i, const SelectedFile& f) override { sources[i] = f.source_path; }

  std::vector<std::string> names;
  std::vector<bool> marked;
  std::vector<std::string> sources;
};

}  // namespace selection_test
