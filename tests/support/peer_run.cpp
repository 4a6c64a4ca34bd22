/* tests/support/peer_run.cpp - python3 and 7-Zip runs for tests. */
#include "peer_run.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

#include "test_env.h"

namespace testenv {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string shell_quote(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

int run_command(const std::string& command_line) {
  int status = std::system(command_line.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::vector<uint8_t> run_python(const std::string& script, const std::vector<uint8_t>& input) {
  const std::string dir = make_temp_dir("python");
  const std::string script_path = dir + "/model.py", in_path = dir + "/in.bin", out_path = dir + "/out.bin";
  write_file(script_path, std::vector<uint8_t>(script.begin(), script.end()));
  write_file(in_path, input);
  const std::string cmd = "python3 " + shell_quote(script_path) + " " + shell_quote(in_path) + " " +
                          shell_quote(out_path) + " 2>" + shell_quote(dir + "/err.txt");
  if (run_command(cmd) != 0) {
    auto err = read_file(dir + "/err.txt");
    throw std::runtime_error("python failed: " + std::string(err.begin(), err.end()));
  }
  return read_file(out_path);
}

bool have_7zz() {
  static const bool present = run_command("7zz i >/dev/null 2>&1") == 0;
  return present;
}

}  // namespace testenv
