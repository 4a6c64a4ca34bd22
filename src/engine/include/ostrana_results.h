/* ostrana_results.h - the result codes of Ostrana Secure Zip/UnZip.
 *
 * Every entry point of the engine returns one of these small integers; 0 is
 * success.  The two sides keep their own tables: the zip side's codes index its
 * result texts as message 256 + code, the unzip side's as message code + 15.
 * The values are part of the engine's contract (scripts and the `ostrana`
 * command line's exit status carry them): never renumber them.
 *
 * Each side's codes are one list, OSTRANA_ZIP_RESULTS(X) and
 * OSTRANA_UNZIP_RESULTS(X), calling X(name, code) once per code: the enums
 * below and the engine's table of result names are both made from it, so a
 * code cannot have a value without a name.
 */
#ifndef OSTRANA_RESULTS_H
#define OSTRANA_RESULTS_H

#ifdef __cplusplus
extern "C" {
#endif

/* ---- zip side ------------------------------------------------------------ */
#define OSTRANA_ZIP_RESULTS(X) \
  X(OZ_SUCCESS, 0)            /* "Success" */ \
  X(OZ_BUSY, 1)               /* "Busy, can't re-enter now" */ \
  X(OZ_UNEXPECTED_EOF, 2)     /* "Unexpected end of Zip file" */ \
  X(OZ_BAD_STRUCTURE, 3)      /* "Zip file structure invalid" */ \
  X(OZ_OUT_OF_MEMORY, 4)      /* "Out of memory" */ \
  X(OZ_INTERNAL, 5)           /* "Internal logic error" */ \
  X(OZ_TOO_BIG, 6)            /* "Entry too big to split" */ \
  X(OZ_BAD_COMMENT, 7)        /* "Invalid comment format" */ \
  X(OZ_INVALID_OR_MEMORY, 8)  /* "Zip file invalid or insufficient memory" */ \
  X(OZ_INTERRUPTED, 9)        /* "Operation interrupted by application" */ \
  X(OZ_TEMP_FAILED, 10)       /* "Temporary file failure" */ \
  X(OZ_READ_FAILED, 11)       /* "Input file read failure" */ \
  X(OZ_NOTHING_TO_DO, 12)     /* "Nothing to do!" */ \
  X(OZ_MISSING_ARCHIVE, 13)   /* "Missing or empty Zip file" */ \
  X(OZ_WRITE_FAILED, 14)      /* "Output file write failure, possible disk full" */ \
  X(OZ_CREATE_FAILED, 15)     /* "Could not create output file" */ \
  X(OZ_BAD_PARAMETERS, 16)    /* "Invalid control parameters" */ \
  X(OZ_INCOMPLETE, 17)        /* "Could not complete operation" */ \
  X(OZ_NOT_FOUND, 18)         /* "File not found or no read permission" */ \
  X(OZ_MEDIA_ERROR, 19)       /* "Media Error Encountered" */ \
  X(OZ_BAD_MULTIVOLUME, 20)   /* "Invalid Multi-Volume control parameters" */ \
  X(OZ_MULTIVOLUME_USAGE, 21) /* "Improper use of Multi-Volume Zip file" */ \
  X(OZ_ENCRYPTION_FAILED, 22) /* "Encryption process could not complete" */

enum OstranaZipResult {
#define OSTRANA_RESULT_ENUMERATOR(name, code) name = code,
  OSTRANA_ZIP_RESULTS(OSTRANA_RESULT_ENUMERATOR)
#undef OSTRANA_RESULT_ENUMERATOR
};

/* ---- unzip side ---------------------------------------------------------- */
#define OSTRANA_UNZIP_RESULTS(X) \
  X(OU_SUCCESS, 0)                /* "Success" */ \
  X(OU_UNEXPECTED_EOF, 2)         /* "Unexpected end of zip file": data ends early; no more items */ \
  X(OU_BAD_STRUCTURE, 3)          /* "Ostrana Secure UnZip file structure invalid" */ \
  X(OU_NO_STATE, 4)               /* "Out of memory": no thread state */ \
  X(OU_OUT_OF_MEMORY, 5)          /* "Out of memory": a buffer or the directory */ \
  X(OU_FILE_NOT_FOUND, 9)         /* "File not found": the archive cannot be opened */ \
  X(OU_NOTHING_TO_DO, 11)         /* "No files to test, extract, etc." */ \
  X(OU_SAME_VOLUME, 12)           /* source and destination on the same removable volume */ \
  X(OU_DECRYPTION_FAILED, 22)     /* "Decryption process could not complete" */ \
  X(OU_INDEX_OUT_OF_BOUNDS, 25)   /* "Index out of bounds" */ \
  X(OU_MULTIDISK_UNSUPPORTED, 26) /* "Multi-disk archive, not supported" */ \
  X(OU_CREATE_FAILED, 28)         /* "Error creating output file" */ \
  X(OU_ARCHIVE_OPEN_FAILED, 29)   /* "Error opening archive": a volume cannot be reopened */ \
  X(OU_BAD_CRC, 39)               /* "Bad CRC" (also a failed AES authentication code) */ \
  X(OU_APP_CANCELLED, 40)         /* "Application cancelled operation" */ \
  X(OU_SKIPPED_ENCRYPTED, 41)     /* "File skipped, encrypted" */ \
  X(OU_UNKNOWN_METHOD, 42)        /* "File skipped, unknown compression method" */ \
  X(OU_BAD_PASSWORD, 44)          /* "Bad or missing decryption key" (also unsupported ciphers) */ \
  X(OU_BUSY, 45)                  /* "Busy, can't re-enter now" */ \
  X(OU_VOLUME_ID, 46)             /* "Can't extract a Volume ID item" */ \
  X(OU_SYNTAX, 47)                /* "Command syntax error" */ \
  X(OU_USER_CANCELLED, 48)        /* "User cancelled this operation" */ \
  X(OU_USER_SKIPPED, 49)          /* "User skipped this operation" */ \
  X(OU_DISK_FULL, 50)             /* "Disk full": a write failed, or the memory block is full */

enum OstranaUnzipResult {
#define OSTRANA_RESULT_ENUMERATOR(name, code) name = code,
  OSTRANA_UNZIP_RESULTS(OSTRANA_RESULT_ENUMERATOR)
#undef OSTRANA_RESULT_ENUMERATOR
};

#ifdef __cplusplus
}
#endif

#endif /* OSTRANA_RESULTS_H */
