/* dialogs/system_info_report.cpp - the text of the system information report.
 *
 * The texts and their order are those the report always had, so that
 * reports pasted into support mail read the same from every version.  One
 * change: when the display settings cannot be read, their error stands on
 * its own after a blank line instead of running on from "pixels".
 */
#include "dialogs/system_info_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace dialogs {
namespace {

void append_format(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append_format(std::string* out, const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n > 0) out->append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

const std::string& name_or_na(const std::optional<std::string>& name) {
  static const std::string kNotAvailable = "N/A";
  return name && !name->empty() && name->size() <= kMaxReportedNameLength ? *name : kNotAvailable;
}

}  // namespace

std::string build_system_info_report(const SystemInfoInputs& in) {
  std::string r = "--- Computer ---";
  r += "\r\nUserName: " + name_or_na(in.user_name);
  r += "\r\nComputerName: " + name_or_na(in.computer_name);
  append_format(&r, "\r\nNumber of CPU(s) Present: %d", in.processor_count);

  r += "\r\n\r\n--- Operating System Version ---\r\n" + in.os_line;

  r += "\r\n\r\n--- Internet Ravarave Version ---\r\n";
  if (in.browser)
    append_format(&r, "Internet Ravarave Ver. %ld.%ld, Build Number: %ld", in.browser->major, in.browser->minor,
                  in.browser->build);
  else
    r += "Internet Ravarave Version N/A";

  const ProcessorIdentification& cpu = in.processor;
  if (cpu.cpuid_available) {
    r += "\r\n\r\n--- Processor(s) ---";
    r += std::string("\r\nManufacturer: ") + manufacturer_text(cpu.vendor_class);
    r += "\r\nBrand ID: " + cpu.name;
    append_format(&r, ", Type: %d, Family: %d, Stepping Code: %d, Model ID: %d", cpu.type, cpu.family,
                  cpu.stepping, cpu.model);
  } else {
    r += " CPUID Not Supported!";
  }
  append_format(&r, "\r\nCPU Clock Frequency: ~%" PRId64 " MHz", cpu.clock_mhz);

  append_format(&r,
                "\r\n\r\n--- Screen Resolution ---\r\nScreen resolution: %dx%d\r\nWidth: %d pixels\r\nHeight: %d pixels",
                in.screen_width, in.screen_height, in.screen_width, in.screen_height);

  if (in.display) {
    append_format(&r, "\r\n\r\n--- Screen Colors ---\r\nColor depth: %d Bits per pixel.", in.display->bits_per_pixel);
    append_format(&r, "\r\nPixel Width: %d\r\nPixel Height: %d\r\nRefresh frequency: %d Hz", in.display->pixel_width,
                  in.display->pixel_height, in.display->refresh_hz);
  } else {
    r += "\r\n\r\nError: can not enumerate display settings.";
  }
  return r;
}

std::string os_version_line(const std::string& pretty_name, const std::string& kernel_release) {
  if (pretty_name.empty() && kernel_release.empty()) return "Running on <Unknown OS Version>";
  std::string line = "Running on " + (pretty_name.empty() ? std::string("Linux") : pretty_name);
  if (!kernel_release.empty()) line += ", kernel " + kernel_release;
  return line;
}

}  // namespace dialogs
