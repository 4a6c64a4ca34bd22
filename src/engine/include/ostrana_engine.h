/* ostrana_engine.h - engine start and end, thread states, hooks and result names.
 *
 * The engine keeps all working data of a call in a per-thread state, one for
 * each side (zip and unzip).  A state is created on a thread's first call and
 * kept between calls (the unzip state holds the last archive's directory);
 * a caller that wants a fresh state, as the application does before each
 * operation, asks for one explicitly.  Two hooks let an application take over
 * what the engine would otherwise do itself: showing a message box when no
 * callback answers, and processing the application's pending events during
 * long work.
 */
#ifndef OSTRANA_ENGINE_H
#define OSTRANA_ENGINE_H

#include <stddef.h>
#include <stdint.h>

#include "ostrana_export.h"

OSTRANA_EXTERN_C_BEGIN

/*****************************************************************************
 *                          Engine and thread states                         *
 *****************************************************************************/

/* OstranaEngineStart() - prepare the engine for use in this process.
 * Optional: the entries work without it.  A second call does nothing.
 * @return 0.  Thread-safe. */
OSTRANA_API int OstranaEngineStart(void);

/* OstranaEngineEnd() - release the calling thread's zip and unzip states.
 * Other threads' states are released when those threads end.  Must not be
 * called from inside a callback (it then does nothing). */
OSTRANA_API void OstranaEngineEnd(void);

/* OstranaZipStateCreate() / OstranaUnzipStateCreate() - give the calling
 * thread a new, empty zip (unzip) state, replacing any it had (the unzip
 * state's loaded directory is dropped).
 * @return 0, or 4 (out of memory) when no state can be had, or the side's
 *         busy code (zip 1, unzip 45) when called from inside a callback of
 *         that side: the running call's state is never replaced. */
OSTRANA_API int OstranaZipStateCreate(void);
OSTRANA_API int OstranaUnzipStateCreate(void);

/* OstranaZipStateRelease() / OstranaUnzipStateRelease() - free the calling
 * thread's state of that side and everything it holds.  No state: nothing
 * happens.  From inside a callback of that side: nothing happens. */
OSTRANA_API void OstranaZipStateRelease(void);
OSTRANA_API void OstranaUnzipStateRelease(void);

/*****************************************************************************
 *                                   Hooks                                   *
 *****************************************************************************/

/* Message box: asked when lpMessageDisplay is missing or gives an answer the
 * style does not offer.  @style holds the buttons in its low 4 bits plus the
 * flags OSTRANA_MB_TASKMODAL | OSTRANA_MB_SETFOREGROUND | OSTRANA_MB_TOPMOST.
 * @return the button chosen (OSTRANA_ID_*).  The default, used when no hook is
 * installed, writes title and text to stderr and answers the style's safe
 * button: OK for style 0, otherwise Cancel, else No, else Abort. */
typedef int (*OSTRANA_MESSAGEBOX_HOOK)(const char* text, const char* title, uint32_t style,
                                       void* context);

/* Event pump: called after each callback and progress report unless the
 * record's option bit 14 is set.  Default: nothing. */
typedef void (*OSTRANA_PUMP_HOOK)(void* context);

/* Save dialog: asked when the user answers an overwrite question with Rename
 * (unzip display type 8, answer OSTRANA_ID_RENAME).  @title is the engine's
 * "Ostrana Secure UnZip Rename Request", @filter "All Files|*.*||" (bars
 * separate display text and pattern), @start_path the output path.  Write the
 * chosen path (UTF-8, NUL-terminated, at most @path_avail bytes with the NUL)
 * into @path_ret and return 1; return 0 when the dialog was cancelled.  The
 * default, used when no hook is installed, shows nothing and answers
 * "cancelled"; the engine then skips the item (code 49). */
typedef int (*OSTRANA_SAVEDIALOG_HOOK)(const char* title, const char* filter, const char* start_path,
                                       char* path_ret, size_t path_avail, void* context);

/* Install a hook for the whole process (NULL restores the default).  Install
 * hooks before starting engine calls; a call in progress may use either. */
OSTRANA_API void OstranaSetMessageBoxHook(OSTRANA_MESSAGEBOX_HOOK hook, void* context);
OSTRANA_API void OstranaSetPumpHook(OSTRANA_PUMP_HOOK hook, void* context);
OSTRANA_API void OstranaSetSaveDialogHook(OSTRANA_SAVEDIALOG_HOOK hook, void* context);

/*****************************************************************************
 *                              Result names                                 *
 *****************************************************************************/

/* The engine's result text of a code ("Invalid control parameters"), straight
 * from its tables (no text offer).  A code without a text gives "-" (unzip) or
 * "Unknown error" (zip).  Never NULL; the text is static. */
OSTRANA_API const char* OstranaZipResultText(int code);
OSTRANA_API const char* OstranaUnzipResultText(int code);

/* The code's enumerator name ("OZ_BAD_PARAMETERS", "OU_SYNTAX"), or "?" for a
 * number that is no result code.  Never NULL; the text is static. */
OSTRANA_API const char* OstranaZipResultName(int code);
OSTRANA_API const char* OstranaUnzipResultName(int code);

/* "6.00.00" */
OSTRANA_API const char* OstranaVersion(void);

OSTRANA_EXTERN_C_END

#endif /* OSTRANA_ENGINE_H */
