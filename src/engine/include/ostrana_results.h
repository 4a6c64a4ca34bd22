/* ostrana_results.h - the result codes of Ostrana Secure Zip/UnZip.
 *
 * Every entry point of the engine returns one of these small integers; 0 is
 * success.  The two sides keep their own tables: the zip side's codes index its
 * result texts as message 256 + code, the unzip side's as message code + 15.
 * The values are part of the engine's contract (scripts and the `ostrana`
 * command line's exit status carry them): never renumber them.
 */
#ifndef OSTRANA_RESULTS_H
#define OSTRANA_RESULTS_H

#ifdef __cplusplus
extern "C" {
#endif

/* ---- zip side ------------------------------------------------------------ */
enum OstranaZipResult {
  OZ_SUCCESS = 0,            /* "Success" */
  OZ_BUSY = 1,               /* "Busy, can't re-enter now" */
  OZ_UNEXPECTED_EOF = 2,     /* "Unexpected end of Zip file" */
  OZ_BAD_STRUCTURE = 3,      /* "Zip file structure invalid" */
  OZ_OUT_OF_MEMORY = 4,      /* "Out of memory" */
  OZ_INTERNAL = 5,           /* "Internal logic error" */
  OZ_TOO_BIG = 6,            /* "Entry too big to split" */
  OZ_BAD_COMMENT = 7,        /* "Invalid comment format" */
  OZ_INVALID_OR_MEMORY = 8,  /* "Zip file invalid or insufficient memory" */
  OZ_INTERRUPTED = 9,        /* "Operation interrupted by application" */
  OZ_TEMP_FAILED = 10,       /* "Temporary file failure" */
  OZ_READ_FAILED = 11,       /* "Input file read failure" */
  OZ_NOTHING_TO_DO = 12,     /* "Nothing to do!" */
  OZ_MISSING_ARCHIVE = 13,   /* "Missing or empty Zip file" */
  OZ_WRITE_FAILED = 14,      /* "Output file write failure, possible disk full" */
  OZ_CREATE_FAILED = 15,     /* "Could not create output file" */
  OZ_BAD_PARAMETERS = 16,    /* "Invalid control parameters" */
  OZ_INCOMPLETE = 17,        /* "Could not complete operation" */
  OZ_NOT_FOUND = 18,         /* "File not found or no read permission" */
  OZ_MEDIA_ERROR = 19,       /* "Media Error Encountered" */
  OZ_BAD_MULTIVOLUME = 20,   /* "Invalid Multi-Volume control parameters" */
  OZ_MULTIVOLUME_USAGE = 21, /* "Improper use of Multi-Volume Zip file" */
  OZ_ENCRYPTION_FAILED = 22  /* "Encryption process could not complete" */
};

/* ---- unzip side ---------------------------------------------------------- */
enum OstranaUnzipResult {
  OU_SUCCESS = 0,               /* "Success" */
  OU_UNEXPECTED_EOF = 2,        /* "Unexpected end of zip file": data ends early; no more items */
  OU_BAD_STRUCTURE = 3,         /* "Ostrana Secure UnZip file structure invalid" */
  OU_NO_STATE = 4,              /* "Out of memory": no thread state */
  OU_OUT_OF_MEMORY = 5,         /* "Out of memory": a buffer or the directory */
  OU_FILE_NOT_FOUND = 9,        /* "File not found": the archive cannot be opened */
  OU_NOTHING_TO_DO = 11,        /* "No files to test, extract, etc." */
  OU_SAME_VOLUME = 12,          /* source and destination on the same removable volume */
  OU_DECRYPTION_FAILED = 22,    /* "Decryption process could not complete" */
  OU_INDEX_OUT_OF_BOUNDS = 25,  /* "Index out of bounds" */
  OU_MULTIDISK_UNSUPPORTED = 26,/* "Multi-disk archive, not supported" */
  OU_CREATE_FAILED = 28,        /* "Error creating output file" */
  OU_ARCHIVE_OPEN_FAILED = 29,  /* "Error opening archive": a volume cannot be reopened */
  OU_BAD_CRC = 39,              /* "Bad CRC" (also a failed AES authentication code) */
  OU_APP_CANCELLED = 40,        /* "Application cancelled operation" */
  OU_SKIPPED_ENCRYPTED = 41,    /* "File skipped, encrypted" */
  OU_UNKNOWN_METHOD = 42,       /* "File skipped, unknown compression method" */
  OU_BAD_PASSWORD = 44,         /* "Bad or missing decryption key" (also unsupported ciphers) */
  OU_BUSY = 45,                 /* "Busy, can't re-enter now" */
  OU_VOLUME_ID = 46,            /* "Can't extract a Volume ID item" */
  OU_SYNTAX = 47,               /* "Command syntax error" */
  OU_USER_CANCELLED = 48,       /* "User cancelled this operation" */
  OU_USER_SKIPPED = 49,         /* "User skipped this operation" */
  OU_DISK_FULL = 50             /* "Disk full": a write failed, or the memory block is full */
};

#ifdef __cplusplus
}
#endif

#endif /* OSTRANA_RESULTS_H */
