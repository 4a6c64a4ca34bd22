/* tests/support/test_env.cpp - a private environment for every test process. */
#include "test_env.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testenv {
namespace {

std::string g_root;

void remove_root_at_exit() {
  if (!g_root.empty() && std::getenv("OSTRANA_KEEP_TMP") == nullptr) {
    std::error_code ec;
    fs::remove_all(g_root, ec);
  }
}

}  // namespace

void isolate_process_environment() {
  if (!g_root.empty()) return;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/ostrana-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  g_root = pattern;
  for (const char* sub : {"config", "state", "runtime", "home"}) fs::create_directories(g_root + "/" + sub);
  fs::permissions(g_root + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
  setenv("XDG_CONFIG_HOME", (g_root + "/config").c_str(), 1);
  setenv("XDG_STATE_HOME", (g_root + "/state").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (g_root + "/runtime").c_str(), 1);
  std::atexit(remove_root_at_exit);
}

const std::string& process_temp_root() {
  if (g_root.empty()) isolate_process_environment();
  return g_root;
}

std::string make_temp_dir(const std::string& hint) {
  static std::atomic<int> counter{0};
  fs::path dir = fs::path(process_temp_root()) / (hint + "-" + std::to_string(++counter));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

}  // namespace testenv
