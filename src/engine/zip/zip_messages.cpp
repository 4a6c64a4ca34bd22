/* engine/zip/zip_messages.cpp - the zip side's message table and display types.
 *
 * Texts are used exactly as they stand here (trailing blanks and "\r\n"
 * included): logs and callers compare them.
 */
#include "engine/zip/zip_messages.h"

namespace ostrana {

const MessageRow kZipMessages[] = {
    // ---- details, titles, log name ---------------------------------------
    {103, "was processing arguments"},
    {104, "Ostrana Secure Zip Alert"},
    {105, "Ostrana Secure Zip Warning"},
    {106, "Ostrana Secure Zip Request"},
    {107, "Ostrana Secure Zip Error"},
    {108, "\\OSTRANA.LOG"},
    {109, "Ostrana Secure Zip File Ready"},
    {110, "Ostrana Secure Zip Skipping File"},
    {143, "was getting encryption password"},
    {148, "invalid date"},
    {152, "invalid option(s) used with ZIP_DELETE"},
    {160, "the archive needs Zip64 (a file or the archive of 4 GiB or more, or more than 65,534 entries); "
          "ask for it with LargeZIPFilesFlag"},

    // ---- the archive writer: details of its reports -------------------------
    {111, "was adding files to zip file"},
    {112, "was replacing the original zip file"},
    {113, "was about to zip"},
    {114, "was copying"},
    {115, "allocating temp filename"},
    {116, "was processing list of files"},
    {142, "was creating pattern list"},

    // ---- the archive writer: warnings (display type 12) ----------------------
    {117, " not found or empty"},
    {118, "could not open for reading, will just copy entry over: "},
    {119, "could not open for reading: "},
    {120, "new zip file left as: "},
    {121, "zip file is empty, can't make it as old as latest entry"},
    {140, "can not translate EOL in binary files"},

    // ---- the existing archive's checks ----------------------------------------
    {122, "zero-length name for entry #"},
    {123, "bad extended local hdr for "},
    {124, "bad compressed size with extended hdr"},
    {125, "extended local hdr not found for "},
    {126, "extraneous central hdr signature"},
    {127, "local offset in central hdr incorrect for "},
    {128, "names differ in local and cnetral hdrs for "},
    {129, "multiple disk information ignored"},
    {130, "wrong count in end of central dir"},
    {131, "central dir size is incorrect"},
    {132, "central dir start is incorrect"},
    {133, " has a preamble of %ld bytes"},
    {134, "garbage at end of zip file ignored"},
    {135, "ZIP file error... missing end signature"},
    {155, "sizes differ in local and central hdrs for "},

    // ---- memory operations and progress texts -------------------------------
    {136, "invalid length"},
    {137, "output buffer too small for in-memory compression"},
    {138, "Item %d of %d"},
    {139, "Memory to File"},

    // ---- activity log -----------------------------------------------------------
    {144, "\\OZIPLOG.TXT"},
    {145, "--- Ostrana Secure ZIP Log - %s ---"},
    {146, "%s [Added]"},
    {147, "%s [Memory]"},
    {149, "[Memory to Memory]"},
    {150, "%s [Deleted]"},

    // ---- diagnostic log: header and one line per record field ------------
    {192, "--- Ostrana Secure Zip Diagnostic Log [DLL/SLL] - %s ---\r\n"},
    {193, "Function:  %d \r\n"},
    {194, "lpszZIPFile: %#08lx \r\n"},
    {195, "lpszItemList: %#08lx \r\n"},
    {196, "lpMajorStatus: %#08lx \r\n"},
    {197, "lpMajorUserData: %#08lx \r\n"},
    {198, "lpMinorStatus: %#08lx \r\n"},
    {199, "lpMinorUserData: %#08lx \r\n"},
    {200, "dosifyFlag: %d \r\n"},
    {201, "recurseFlag: %d \r\n"},
    {202, "compFactor: %d \r\n"},
    {203, "quietFlag: %d \r\n"},
    {204, "pathForTempFlag: %d \r\n"},
    {205, "lpszTempPath: %#08lx \r\n"},
    {206, "fixFlag: %d \r\n"},
    {207, "fixHarderFlag: %d \r\n"},
    {208, "includeVolumeFlag: %d \r\n"},
    {209, "deleteOriginalFlag: %d \r\n"},
    {210, "growExistingFlag: %d \r\n"},
    {211, "noDirectoryNamesFlag: %d \r\n"},
    {212, "convertLFtoCRLFFlag: %d \r\n"},
    {213, "addCommentFlag: %d \r\n"},
    {214, "lpszComment: %#08lx \r\n"},
    {215, "afterDateFlag: %d \r\n"},
    {216, "lpszDate: %#08lx \r\n"},
    {217, "oldAsLatestFlag: %d \r\n"},
    {218, "includeOnlyFollowingFlag: %d \r\n"},
    {219, "lpszIncludeFollowing: %#08lx \r\n"},
    {220, "excludeFollowingFlag: %d \r\n"},
    {221, "lpszExludeFollowing: %#08lx \r\n"},
    {222, "noDirectoryEntriesFlag: %d \r\n"},
    {223, "includeSysHiddenFlag: %d \r\n"},
    {224, "dontCompressTheseSuffixesFlag: %d \r\n"},
    {225, "lpszStoreSuffixes: %#08lx \r\n"},
    {226, "encryptFlag: %d \r\n"},
    {227, "lpszEncryptCode: %#08lx \r\n"},
    {228, "lpMessageDisplay: %#08lx \r\n"},
    {229, "lpMessageDisplayData: %#08lx \r\n"},
    {230, "wMultiVolControl: %#04x \r\n"},
    {231, "wZipSubOptions: %#04x \r\n"},
    {232, "lpCallbackStruct: %#08lx \r\n"},
    {233, "lResv2: %ld \r\n"},
    {234, "lpszExtProgTitle: %#08lx \r\n"},
    {235, "lpRenameProc: %#08lx \r\n"},
    {236, "lpRenameUserData: %#08lx \r\n"},
    {237, "lpMemBlock: %#08lx \r\n"},
    {238, "lMemBlockSize: %ld \r\n"},
    {239, "LargeZIPFilesFlag: %d \r\n"},
    {240, "pulFileSizeArray: \r\n"},
    {241, "[%s]"},
    {242, "lMemBlockSizeH: %ld \r\n"},
    {243, "lpRenameProcEX: %#08lx \r\n"},
    {244, "lSEInfo: %ld \r\n"},
    {245, "lResv7: %ld \r\n"},
    {246, "lResv8: %ld \r\n"},
    {247, "lZipSubOptions2: %#08lx \r\n"},
    {750, "lResv9: %ld \r\n"},
    {751, "lResv10: %ld \r\n"},
    {752, "lResv11: %ld \r\n"},
    {753, "lResv12: %ld \r\n"},
    {754, "lResv13: %ld \r\n"},
    {755, "lResv14: %ld \r\n"},
    {756, "lResv15: %ld \r\n"},
    {757, "lResv16: %ld \r\n"},
    {706, "Ostrana Secure Zip Version: 6.00.00 - %s  %s"},

    // ---- result texts: message 256 + code ---------------------------------
    {256, "Success"},
    {257, "Busy, can't re-enter now"},
    {258, "Unexpected end of Zip file"},
    {259, "Zip file structure invalid"},
    {260, "Out of memory"},
    {261, "Internal logic error"},
    {262, "Entry too big to split"},
    {263, "Invalid comment format"},
    {264, "Zip file invalid or insufficient memory"},
    {265, "Operation interrupted by application"},
    {266, "Temporary file failure"},
    {267, "Input file read failure"},
    {268, "Nothing to do!"},
    {269, "Missing or empty Zip file"},
    {270, "Output file write failure, possible disk full"},
    {271, "Could not create output file"},
    {272, "Invalid control parameters"},
    {273, "Could not complete operation"},
    {274, "File not found or no read permission"},
    {275, "Media Error Encountered"},
    {276, "Invalid Multi-Volume control parameters"},
    {277, "Improper use of Multi-Volume Zip file"},
    {278, "Encryption process could not complete"},

    // ---- prompts and media messages (display types) -----------------------
    {512, "Please insert the first disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort."},
    {513, "Please insert Disk Volume %d.  \nPress OK when ready or Cancel to abort."},
    {514, "Please insert the last disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort."},
    {515, "Please insert Disk Volume %d of %d. \nPress OK when ready or Cancel to abort."},
    {516, "ZIP File open error!"},
    {517, "ZIP File read error!"},
    {518, "ZIP File write error!"},
    {519, "Invalid First Disk; Try again."},
    {520, "Target media is write protected or missing.\nPlease insert a write enabled disk."},
    {521, "Wiping Drive %s..."},
    {522, "Formatting Drive %s..."},
    {523, "Formatting Cylinder %d"},
    {524, "Initializing Media..."},
    {525, "PKBACK# .%03d"},
    {600, "Target Media is NON-Removable and can not be used for a Multi-Volume operation."},
    {601, "The same disk volume can not be used as both the source and destination"},
    {602, "Volume could not be Wiped or Formatted."},
    {0, nullptr},
};

namespace {

const DisplayTypeRow kZipDisplayRows[] = {
    {0, 106, kDiskRequestText},
    {1, 106, 515},
    {2, 107, 516},
    {3, 107, 517},
    {4, 107, 518},
    {5, 107, 600},
    {6, 107, 601},
    {7, 107, 602},
    {10, 104, 519},
    {11, 107, 0},
    {12, 105, 0},
    {14, 109, 0},
    {16, 110, 0},
    {-1, 0, 0},
};

}  // namespace

const DisplayTable kZipDisplayTable = {kZipDisplayRows, 107, 512, 513, 514};

const char* zip_result_builtin_text(int code) {
  if (code < 0 || code > kZipLastResultCode) return "Unknown error";
  return find_message(kZipMessages, kZipMsgResultBase + code);
}

}  // namespace ostrana
