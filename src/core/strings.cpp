/* core/strings.cpp - the application's string table.
 *
 * One sorted table of (id, text); lookups are a binary search.  The texts are
 * the program's own and stand exactly as the program has always shown them,
 * spelling included.  Formatting goes through vsnprintf twice (measure, then
 * write), so a long argument is never cut and never overruns.
 */
#include "core/strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>

namespace core {
namespace {

struct Entry {
  int id;
  const char* text;
};

// Sorted by id (checked by the tests).
constexpr Entry kTable[] = {
    {98, "Check this box to Monitor and Recreate this Operation using a Scheduled Windows TASK!\n"
         "Scheduled task will appear in under Scheduled Tasks in Windows Control Panel!"},
    {100, "Morvane File Verification Failed! File may have been tampered!"},
    {101, "Morvane Parameters File not found. Task Scheduling information may have been changed!"},
    {103, "&About Parvell 2.0 Wizard..."},
    {104, "Browse for UnZIP folder"},
    {105, "Are you sure you would like to delete the selected files?"},
    {106, "No Items have been selected to be added to ZIP File!"},
    {107, "Are you sure you would like to stop current operation?"},
    {108, "Adding Files to ZIP '%s'."},
    {109, "Updating Files to ZIP '%s'."},
    {110, "Extracting ZIP %s'."},
    {112, "Please wait for the operation to complete or press Stop to cancel."},
    {114, "Click Next> to go to UnZIP folder selection page."},
    {115, "Operation Has Completed Successfully!"},
    {116, "Operation Has Completed, but with Errors!"},
    {117, "Operation has been canceled, at user request!"},
    {118, "ZIP File '%s' does not exist. ZIP must exist in order to UnZIP."},
    {119, "You can Email the ZIP File, Open it using Parvell 2.0 or simply press Done to Exit."},
    {120, "ZIP File '%s' contains %d item(s)."},
    {121, "You have selected to delete %d items.\n"
          "Are you sure you would like to delete the files after ZIP Operation completes?"},
    {122, "Press Next to continue with Folder Selection Page if checkbox bellow is checked..."},
    {123, "Press Next when ready to continue with Additional Parameters Page..."},
    {125, "UnZIP Folder '%s' already exists.\n"
          "If you may want to chose a new folder, press Browse of select from the history ComboBox."},
    {126, "Processed so far: %d files. "},
    {127, "%d files skipped."},
    {129, "Press <&Back to change your Files Selection. Current %d item(s) in list."},
    {139, "Warning!"},
    {141, "Press Browse or NewZIP to select or create another ZIP File..."},
    {142, "ZIP File '%s' exists, but cannot be recognized as ZIP! Update Operation May Fail!"},
    {143, "<No> Items Found in ZIP, '%s' may be an empty ZIP File or it cannot be recognized as ZIP! "
          "Update Operation May Fail!"},
    {144, "ZIP File Name Cannot be Empty!"},
    {146, "When not picking an UnZIP folder, the default location will be on Desktop, at '%s'."},
    {148, "ZIP File '%s' does not exist and it will be created.\n"
          "Press Browse or NewZIP to select or create another ZIP File..."},
    {149, "UnZIP Folder '%s' does not exist and will be created during the UnZIP operation"},
    {150, "UnZIP Folder cannot be empty.\n"
          "Please Enter a ZIP Folder, Browse or Select it from the History ComboBox"},
    {151, "No files skipped. Operation Stopped!"},
    {155, "Starting Morvane '%s'"},
    {158, "Command line file verification OK! "},
    {159, "Monitoring Status: Automatic Morvane Operation !"},
    {160, "Operation Monitoring Activated! Morvane will be created!"},
    {161, "Operation Monitoring: Not Activated! No Morvane will be created!"},
    {164, "Deleting previous ZIP File, as New File is requested to be created!"},
    {166, "Monitoring Status: Active and Recording!"},
    {170, "Current ZIP File Contains Encrypted (Password Protected) Files.\n"
          "Still, no password has been entered. Would you still like to continue?"},
    {364, "You have selected to delete %s items.\n"
          "Are you sure you would like to delete the files after ZIP Operation completes?"},
    {576, "Processing:"},
    {577, "[%d files skipped]. Operation Stopped!"},
    {621, "Check the box for Faster ZIP Operation.\r\n"
          "Please Note: Fast(er) Operation Means Slighty Bigger Output File"},
    {622, "Check to delete processed files after ZIPPING.\r\n"
          "Use with care at your own risk! We CANNOT Safely Guarantee Proper Usage of this Feature!"},
    {623, "Check to protect the Morvane information file against viewing and tampering."},
    {624, "Check to log the output of the Morvane in an HTML results file."},
    {625, "The HTML file in which the Morvane results are logged."},
    {626, "Browse for the HTML file in which the Morvane results are logged."},
    {627, "Reading TASK Information File Has Terminated Unexpectedly!We appologize for the inconvinience!"},
    {630, "Morvane File Information Not Found! File may have been deleted!"},
    {634, "File Processed"},
    {9000, "no display is available (DISPLAY and WAYLAND_DISPLAY name no usable display); "
           "the wizard needs a graphical session"},
    {9001, "Parvell Ravarave v2.1"},
    {9003, "No name was free beside the ZIP File for the new one; nothing was changed."},
    {9004, "The new ZIP File could not replace the old one (%s); the old one is unchanged."},
    {9005, "Operation result %d: %s"},
    {9006, "The new ZIP File did not pass its test (result %d): no file was deleted."},
    {9007, "File kept: changed during the operation, or not found whole in the ZIP File"},
    {9008, "File could not be deleted"},
    {9009, "%d processed file(s) were kept: changed during the operation, or not found whole in the ZIP File."},
    {9110, "'%s' is a folder, not a ZIP File.\n"
           "Press Browse or NewZIP to select or create a ZIP File..."},
    {9111, "'%s' is a file, not a folder.\n"
           "Please Enter a ZIP Folder, Browse or Select it from the History ComboBox"},
    {9300, "About %s"},
    {9301, "Creates ZIP archives, adds files to existing ones and extracts them, leading you "
           "through each choice one page at a time. Any of these operations can be saved as a "
           "scheduled task that runs again by itself and keeps an HTML results log."},
    {9302, "Archive engine: %s %s"},
    {9303, "Built %s with %s, Qt %s (running with Qt %s)"},
    {9304, "Settings: %s"},
    {9305, "Archive and folder history: %s"},
    {9306, "Engine logs: %s"},
    {9307, "Results logs of scheduled tasks: the file each task names on its parameters page"},
    {9308, "Open the help"},
    {9309, "&System Info"},
    {9310, "System Information"},
    {9311, "(unknown)"},
    {9312, "Where things are kept"},

    // The add-files dialog and the extra-parameters page.
    {9400, "The folder \"%s\" does not exist."},
    {9401, "\"%s\" cannot be added to the ZIP File: %s\nNothing has been chosen yet; please change the selection."},
    {9402, "a double quote in its name cannot be passed to the archiver. Select the folder that holds it instead, or rename it."},
    {9403, "the archiver would take the * or ? in its name for a wildcard and add other files. Select the folder that holds it instead, or rename it."},
    {9404, "it is no longer there, or its name is not valid UTF-8 text."},
    {9405, "its path is longer than the archiver's limit of 4095 bytes."},
    {9406, "the archiver leaves hidden files (names that start with a dot) out."},
    {9407, "the archiver would read the dot at the end of its name as \"no extension\" and could add another file. Select the folder that holds it instead, or rename it."},
};

std::string vformat(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(needed));
  return out;
}

}  // namespace

const char* load_string(int id) {
  const Entry* end = std::end(kTable);
  const Entry* it = std::lower_bound(std::begin(kTable), end, id,
                                     [](const Entry& e, int key) { return e.id < key; });
  return (it != end && it->id == id) ? it->text : nullptr;
}

std::string format_string(int id, ...) {
  va_list args;
  va_start(args, id);
  std::string out = vformat(load_string(id), args);
  va_end(args);
  return out;
}

std::string vformat_string(int id, va_list args) { return vformat(load_string(id), args); }

}  // namespace core
