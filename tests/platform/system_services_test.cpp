/* tests/platform/system_services_test.cpp - os-release, helper commands, the default browser, the clock.
 *
 * Risk: a distribution name read with its quotes or escapes; a helper
 * command that hangs the caller or leaves a zombie behind; a browser asked
 * "--version" that it would answer with a window, or whose answer is
 * misread; the default browser not found where the desktop puts its entry;
 * the clock's arithmetic going negative or dividing by zero.
 */
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "platform/command_output.h"
#include "platform/cpu_identification.h"
#include "platform/default_browser.h"
#include "platform/file.h"
#include "platform/system_identity.h"
#include "test_env.h"

namespace {

TEST(OsRelease, ValuesLoseTheirShellQuoting) {
  const std::string text =
      "NAME=\"Debian GNU/Linux\"\n"
      "  PRETTY_NAME='Debian GNU/Linux 12 (bookworm)'\n"
      "ID=debian # a comment\n"
      "VARIANT=\"Say \\\"hi\\\" \\\\ there\"\r\n"
      "#VERSION_ID=11\n"
      "VERSION_ID=12\n"
      "VERSION_ID=13\n"
      "EMPTY=\n"
      "NAMESAKE=wrong\n";
  const std::pair<const char*, std::optional<std::string>> rows[] = {
      {"NAME", "Debian GNU/Linux"},
      {"PRETTY_NAME", "Debian GNU/Linux 12 (bookworm)"},
      {"ID", "debian"},
      {"VARIANT", "Say \"hi\" \\ there"},
      {"VERSION_ID", "13"},
      {"EMPTY", ""},
      {"NAMES", std::nullopt},
      {"HOME_URL", std::nullopt},
  };
  for (const auto& [key, value] : rows) EXPECT_EQ(value, platform::os_release_value(text, key)) << key;
}

TEST(BrowserVersion, ParsedFromTheFirstDottedNumber) {
  const std::pair<const char*, std::optional<platform::BrowserVersion>> rows[] = {
      {"Mozilla Firefox 115.6.0esr\n", platform::BrowserVersion{115, 6, 0}},
      {"Chromium 120.0.6099.224 built on Debian 12.4", platform::BrowserVersion{120, 0, 6099}},
      {"Web 43", platform::BrowserVersion{43, 0, 0}},
      {"falkon 3.2.0.", platform::BrowserVersion{3, 2, 0}},
      {"v99999999999999999999.1", platform::BrowserVersion{999999999, 1, 0}},
      {"no number here", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : rows) {
    const std::optional<platform::BrowserVersion> got = platform::parse_browser_version(text);
    ASSERT_EQ(expected.has_value(), got.has_value()) << text;
    if (got) {
      EXPECT_EQ(expected->major, got->major) << text;
      EXPECT_EQ(expected->minor, got->minor) << text;
      EXPECT_EQ(expected->build, got->build) << text;
    }
  }
}

TEST(DesktopEntry, ExecProgramAndTheBrowsersAskedForAVersion) {
  const std::pair<const char*, const char*> rows[] = {
      {"[Desktop Entry]\nName=F\nExec=/usr/lib/firefox-esr/firefox-esr %u\n", "/usr/lib/firefox-esr/firefox-esr"},
      {"[Desktop Entry]\nExec = \"/opt/My Browser/chrome\" --flag\n", "/opt/My Browser/chrome"},
      {"[Desktop Entry]\nExec=env GDK_BACKEND=x11 MOZ=1 firefox %u\n", "firefox"},
      {"[Desktop Action new]\nExec=wrong\n[Desktop Entry]\nExecutable=no\nExec=chromium\n", "chromium"},
      {"[Desktop Entry]\nName=none\n", ""},
  };
  for (const auto& [entry, program] : rows) EXPECT_EQ(program, platform::desktop_entry_program(entry)) << entry;
  EXPECT_TRUE(platform::answers_version_without_window("/usr/bin/firefox-esr"));
  EXPECT_TRUE(platform::answers_version_without_window("chromium"));
  EXPECT_FALSE(platform::answers_version_without_window("flatpak"));
  EXPECT_FALSE(platform::answers_version_without_window("/usr/bin/firefox-esr-wrapper"));
}

TEST(CommandOutput, OutputStatusLimitTimeoutAndMissingProgram) {
  platform::CommandOutput out = platform::run_for_output({"sh", "-c", "printf 'a b'; echo err >&2; exit 3"}, 5000);
  EXPECT_TRUE(out.ran);
  EXPECT_EQ(3, out.exit_status);
  EXPECT_EQ("a b", out.text);

  out = platform::run_for_output({"sh", "-c", "head -c 100000 /dev/zero"}, 5000, 10);
  EXPECT_EQ(0, out.exit_status);
  EXPECT_EQ(10u, out.text.size());

  // A command that never ends is killed at the limit and collected.
  out = platform::run_for_output({"sh", "-c", "echo started; exec sleep 30"}, 300);
  EXPECT_TRUE(out.timed_out);
  EXPECT_EQ(-1, out.exit_status);
  EXPECT_EQ("started\n", out.text);
  EXPECT_EQ(-1, ::waitpid(-1, nullptr, WNOHANG)) << "a child was left behind";

  out = platform::run_for_output({"no-such-program-here"}, 1000);
  EXPECT_FALSE(out.ran);
  EXPECT_FALSE(platform::run_for_output({}, 1000).ran);
}

TEST(ReadFileStart, LimitMissingFileAndFifo) {
  const std::string dir = testenv::make_temp_dir("read_start");
  std::ofstream(dir + "/text") << "0123456789";
  EXPECT_EQ("0123", platform::read_file_start(dir + "/text", 4));
  EXPECT_EQ("0123456789", platform::read_file_start(dir + "/text", 1000));
  EXPECT_EQ("", platform::read_file_start(dir + "/missing", 1000));
  ASSERT_EQ(0, ::mkfifo((dir + "/fifo").c_str(), 0600));
  EXPECT_EQ("", platform::read_file_start(dir + "/fifo", 1000)) << "returns at once, without a writer";
}

void write_script(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
}

/// Points PATH and XDG_DATA_HOME at @p dir while it lives.
struct FakeDesktop {
  std::string dir, saved_path, saved_data;
  explicit FakeDesktop(const std::string& d) : dir(d), saved_path(std::getenv("PATH")) {
    if (const char* data = std::getenv("XDG_DATA_HOME")) saved_data = data;
    ::mkdir((dir + "/applications").c_str(), 0755);
    setenv("PATH", (dir + ":" + saved_path).c_str(), 1);
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
  }
  ~FakeDesktop() {
    setenv("PATH", saved_path.c_str(), 1);
    setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
  }
};

TEST(DefaultBrowser, AskedThroughItsDesktopEntry) {
  FakeDesktop desktop(testenv::make_temp_dir("browser"));
  write_script(desktop.dir + "/xdg-settings", "[ \"$*\" = 'get default-web-browser' ] && echo fox.desktop");
  write_script(desktop.dir + "/firefox", "[ \"$1\" = --version ] && echo 'Mozilla Firefox 128.3.1esr'");
  write_script(desktop.dir + "/fancy", "echo 'Fancy 9.9'");
  std::ofstream(desktop.dir + "/applications/fox.desktop") << "[Desktop Entry]\nExec=" << desktop.dir << "/firefox %u\n";
  std::optional<platform::BrowserVersion> v = platform::this_desktop().default_browser_version();
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(128, v->major);
  EXPECT_EQ(3, v->minor);
  EXPECT_EQ(1, v->build);

  // A browser not known to answer without a window is not started.
  std::ofstream(desktop.dir + "/applications/fox.desktop") << "[Desktop Entry]\nExec=fancy\n";
  EXPECT_FALSE(platform::this_desktop().default_browser_version().has_value());
  // No default, or one without an entry.
  write_script(desktop.dir + "/xdg-settings", "echo missing.desktop");
  EXPECT_FALSE(platform::this_desktop().default_browser_version().has_value());
  write_script(desktop.dir + "/xdg-settings", "exit 0");
  EXPECT_FALSE(platform::this_desktop().default_browser_version().has_value());
}

TEST(CpuClock, TicksPerMicrosecond) {
  EXPECT_EQ(2600, platform::clock_mhz_from_ticks(130000000 + 500, 500, 50000));
  EXPECT_EQ(2599, platform::clock_mhz_from_ticks(130000000 + 499, 500, 50000));
  EXPECT_EQ(-1, platform::clock_mhz_from_ticks(500, 500, 50000));
  EXPECT_EQ(-1, platform::clock_mhz_from_ticks(1000, 2000, 50000));
  EXPECT_EQ(-1, platform::clock_mhz_from_ticks(1000, 0, 0));
#if defined(__x86_64__) || defined(__i386__)
  const platform::CpuidSource& cpu = platform::this_processor();
  ASSERT_TRUE(cpu.available());
  EXPECT_GE(cpu.leaf(0).eax, 1u);
  EXPECT_GT(cpu.measure_clock_mhz(), 0);  // a timing: only its sign is certain
#endif
}

}  // namespace
