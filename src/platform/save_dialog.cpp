/* platform/save_dialog.cpp - asking the user where to save a file ("Save As"). */
#include "platform/save_dialog.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex g_mutex;
SaveDialogHook g_hook = nullptr;
void* g_context = nullptr;

/// Room for the longest output path the engine handles, and its NUL.
constexpr size_t kPathRoom = 4097;

}  // namespace

void set_save_dialog_hook(SaveDialogHook hook, void* context) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_hook = hook;
  g_context = context;
}

std::string ask_save_path(const std::string& title, const std::string& filter, const std::string& start_path) {
  SaveDialogHook hook;
  void* context;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    hook = g_hook;
    context = g_context;
  }
  if (hook == nullptr) return "";  // headless: nobody to ask
  std::vector<char> path(kPathRoom, '\0');
  std::strncpy(path.data(), start_path.c_str(), kPathRoom - 1);
  if (hook(title.c_str(), filter.c_str(), start_path.c_str(), path.data(), path.size(), context) != 1) return "";
  path.back() = '\0';
  return path.data();
}

}  // namespace platform
