/* tests/wizard/fake_history_storage.h - a history storage in memory whose N-th write can fail. */
#pragma once

#include <QString>
#include <map>
#include <optional>

#include "platform/qt/history_storage.h"

namespace wizardtest {

class FakeHistoryStorage : public platform::HistoryStorage {
 public:
  std::map<int, QString> items;
  int fail_at_write = -1;  // 0-based count of writes
  int writes = 0;

  std::optional<QString> read_item(int index) override {
    auto it = items.find(index);
    if (it == items.end()) return std::nullopt;
    return it->second;
  }
  bool write_item(int index, const QString& text) override {
    if (writes++ == fail_at_write) return false;
    items[index] = text;
    return true;
  }
};

}  // namespace wizardtest
