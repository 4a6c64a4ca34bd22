/* ostrana_export.h - how the engine's public functions are declared.
 *
 * The engine's objects are compiled with hidden visibility, so the shared
 * library exports exactly the functions marked OSTRANA_API and nothing of its
 * internals.  Every public function has C linkage: the headers wrap their
 * declarations in OSTRANA_EXTERN_C_BEGIN / OSTRANA_EXTERN_C_END.
 */
#ifndef OSTRANA_EXPORT_H
#define OSTRANA_EXPORT_H

#if defined(_WIN32)
#define OSTRANA_API __declspec(dllexport)
#elif defined(__GNUC__) || defined(__clang__)
#define OSTRANA_API __attribute__((visibility("default")))
#else
#define OSTRANA_API
#endif

#ifdef __cplusplus
#define OSTRANA_EXTERN_C_BEGIN extern "C" {
#define OSTRANA_EXTERN_C_END }
#else
#define OSTRANA_EXTERN_C_BEGIN
#define OSTRANA_EXTERN_C_END
#endif

#endif /* OSTRANA_EXPORT_H */
