/* engine/unzip/unzip_messages.cpp - the unzip side's message table and display types.
 *
 * Texts are used exactly as they stand here (trailing blanks, "\n" and "\r\n"
 * included).  Result codes without a text of their own show "-".
 */
#include "engine/unzip/unzip_messages.h"

namespace ostrana {

const MessageRow kUnzipMessages[] = {
    // ---- prompts and media messages ----------------------------------------
    {2, "Please insert the first disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort.\n"},
    {3, "Please insert Disk Volume %d.  \nPress OK when ready or Cancel to abort."},
    {4, "Please insert Disk Volume %d of %d. \nPress OK when ready or Cancel to abort."},
    {5, "Volume could not be Wiped or Formatted."},
    {6, "Invalid First Disk; Try again."},
    {7, "Please insert the last disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort."},
    {8, "Target Media is NON-Removable and can not be used for a Multi-Volume operation."},
    {9, "The same disk volume can not be used as both the source and destination"},
    {10, "Ostrana Secure UnZip File open error!"},
    {11, "Ostrana Secure UnZip File read error!"},
    {12, "Ostrana Secure UnZip File write error!"},
    {13, "Ostrana Secure UnZip Alert"},
    {14, "Ostrana Secure UnZip Warning"},

    // ---- result texts: message code + 15 -----------------------------------
    {15, "Success"},
    {16, "-"},
    {17, "Unexpected end of zip file"},
    {18, "Ostrana Secure UnZip file structure invalid"},
    {19, "Out of memory"},
    {20, "Out of memory"},
    {21, "-"}, {22, "-"}, {23, "-"},
    {24, "File not found"},
    {25, "-"},
    {26, "No files to test, extract, etc."},
    {27, "-"},
    {28, "-"}, {29, "-"}, {30, "-"}, {31, "-"}, {32, "-"}, {33, "-"}, {34, "-"}, {35, "-"},
    {36, "-"},
    {37, "Decryption process could not complete"},
    {38, "-"}, {39, "-"},
    {40, "Index out of bounds"},
    {41, "Multi-disk archive, not supported"},
    {42, "-"},
    {43, "Error creating output file"},
    {44, "Error opening archive"},
    {45, "-"}, {46, "-"}, {47, "-"}, {48, "-"}, {49, "-"}, {50, "-"}, {51, "-"}, {52, "-"},
    {53, "-"},
    {54, "Bad CRC"},
    {55, "Application cancelled operation"},
    {56, "File skipped, encrypted"},
    {57, "File skipped, unknown compression method"},
    {58, "-"},
    {59, "Bad or missing decryption key"},
    {60, "Busy, can't re-enter now"},
    {61, "Can't extract a Volume ID item"},
    {62, "Command syntax error"},
    {63, "User cancelled this operation"},
    {64, "User skipped this operation"},
    {65, "Disk full"},

    // ---- titles, questions, progress lines ----------------------------------
    {66, "Ostrana Secure UnZip Error:"},
    {67, "Ostrana Secure UnZip Response:"},
    {68, "%s exists, do you want to overwrite it?"},
    {69, "Ostrana Secure UnZip Request:"},
    {70, "%s is encrypted, and you have not provided the correct code. Go to next item (if any)?"},
    {71, "Item %d of %d"},
    {72, "Extracting: %s"},
    {73, "Testing: %s"},
    {74, "returnCount: %d"},
    {75, "lpszReturnString:"},

    // ---- diagnostic log: header and one line per record field --------------
    {76, "--- Ostrana Secure UnZip Diagnostic Log [DLL/SLL] - %s ---\r\n"},
    {77, "Function: %d \r\n"},
    {78, "lpszZIPFile: %#08lx \r\n"},
    {79, "zInfo: %#08lx \r\n"},
    {80, "lpszFilespec: %#08lx \r\n"},
    {81, "index: %d \r\n"},
    {82, "lpszDestination: %#08lx \r\n"},
    {83, "freshenFlag: %d \r\n"},
    {84, "updateFlag: %d \r\n"},
    {85, "overWriteFlag: %d \r\n"},
    {86, "quietFlag: %d \r\n"},
    {87, "testFlag: %d \r\n"},
    {88, "noDirectoryNamesFlag: %d \r\n"},
    {89, "recurseFlag: %d \r\n"},
    {90, "noDirectoryItemsFlag: %d \r\n"},
    {91, "lpMinorStatus: %#08lx \r\n"},
    {92, "lpMinorUserData: %#08lx \r\n"},
    {93, "lpMajorStatus: %#08lx \r\n"},
    {94, "lpMajorUserData: %#08lx \r\n"},
    {95, "returnCount: %d \r\n"},
    {96, "lpszReturnString: %#08lx \r\n"},
    {97, "decryptFlag: %d \r\n"},
    {98, "lpszDecryptCode: %#08lx \r\n"},
    {99, "lpMessageDisplay: %#08lx \r\n"},
    {100, "lpMessageDisplayData: %#08lx \r\n"},
    {127, "wUnzipSubOptions: %#04x \r\n"},
    {133, "lpCallbackStruct: %#08lx \r\n"},
    {134, "lpszExtProgTitle: %#08lx \r\n"},
    {135, "lpRenameProc: %#08lx \r\n"},
    {136, "lpRenameUserData: %#08lx \r\n"},
    {137, "lpMemBlock: %#08lx \r\n"},
    {138, "lMemBlockSize: %ld \r\n"},
    {139, "lMemBlockSizeH: %ld \r\n"},
    {140, "lStartingOffset: %ld \r\n"},
    {150, "lStartingOffsetH: %ld \r\n"},
    {151, "pZipInfoEx: %#08lx \r\n"},
    {152, "lUnZipSubOptions2: %#08lx \r\n"},
    {153, "lpRenameProcEX: %#08lx \r\n"},
    {154, "lResv7: %ld \r\n"},
    {155, "lResv8: %ld \r\n"},

    // ---- details of the entry's checks and of the functions ------------------
    {101, "\\OSTRANA.LOG"},
    {102, "No valid Zip file indicated"},
    {103, "Problem reading Zip file"},
    {104, "Zip filename or filespec not provided"},
    {105, "Zip filename or filespec empty"},
    {106, "UnZip command structure not provided"},
    {107, "No more items found"},
    {108, "Problem opening ZIP file"},
    {109, "Need destination path when updating or freshening"},
    {110, "Destination path not complete"},
    {111, "Destination path must include drive letter"},
    {112, "Error allocating memory from local heap"},
    {113, "Zip filename not provided"},
    {114, "Zip file has a structural problem"},
    {115, "Specified index is out of range"},
    {116, "Re-entry not permitted"},
    {117, "UNZIPCMDSTRUCT Size is incorrect."},
    {118, "Can't freshen and update at the same time"},
    {119, "Decryption key not provided, or too long"},
    {120, "Destination path not provided"},
    {121, "Unknown function requested"},
    {122, "Item list not provided"},
    {123, "Index is too high"},
    {124, "Problem extracting file(s)"},
    {125, "No items match filespec"},
    {126, "You are trying to UnZip from this Zip file on top of itself, which is not permitted. \nSkipping this item..."},
    {128, "%s exists and is Read Only, do you want to overwrite it?"},
    {129, "Double Quotes mismatched."},
    {130, "Index references Long File Name."},
    {131, "Inconsistent UNZIP_FILETOMEM parameters."},
    {132, "File to Memory: %s"},
    {141, "Error allocating memory from global heap"},
    {142, "Ostrana Secure UnZip Rename Request"},

    // ---- activity log ----------------------------------------------------------
    {143, "\\OUNZLOG.TXT"},
    {144, "--- Ostrana Secure UnZip Log - %s ---"},
    {145, "%s [Extracted]"},
    {146, "%s [Tested]"},
    {147, "%s [Memory]"},
    {148, "Ostrana Secure UnZip Version: 6.00.00 - %s  %s"},
    {149, "Memory to Memory"},
    // Texts of this platform's safety rules and of the archive reader's warnings.
    {156, "%s would be written outside the destination folder, which is not permitted. \nSkipping this item..."},
    {157, "%s has a preamble of %ld bytes that its offsets do not count; it is read with that correction."},
    {158, "%s: this volume of the split archive was not found"},
    {170, "%s: a symbolic link to %s, outside the destination; written as a file holding the link's text"},
    {171, "%s: piece %s of the archive is missing"},
    {0, nullptr},
};

namespace {

const DisplayTypeRow kUnzipDisplayRows[] = {
    {0, 69, kDiskRequestText},
    {1, 69, 4},
    {2, 66, 10},
    {3, 66, 11},
    {4, 66, 12},
    {5, 66, 8},
    {6, 66, 9},
    {8, 14, 0},
    {12, 14, 0},
    {9, 66, 0},
    {10, 13, 6},
    {11, 66, 0},
    {-1, 0, 0},
};

}  // namespace

const DisplayTable kUnzipDisplayTable = {kUnzipDisplayRows, 66, 2, 3, 7};

const char* unzip_result_builtin_text(int code) {
  if (code < 0 || code > kUnzipLastResultCode) return "-";
  return find_message(kUnzipMessages, kUnzipMsgResultBase + code);
}

}  // namespace ostrana
