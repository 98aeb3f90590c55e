/* archlib: compresses a block of bytes into a file and expands it back.
 * File format: docs/archlib.md. Both functions use the caller-cleanup
 * convention (__cdecl on 32-bit Windows) and are exported undecorated. */
#ifndef ARCHLIB_H
#define ARCHLIB_H

#if defined(_WIN32)
#define ARCHLIB_CALL __cdecl
#if defined(ARCHLIB_BUILDING)
#define ARCHLIB_API __declspec(dllexport)
#else
#define ARCHLIB_API __declspec(dllimport)
#endif
#else
#define ARCHLIB_CALL
#define ARCHLIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Compresses *length bytes at data (1 to 16777216) into a new file at path,
 * created or replaced. Non-zero when the whole file was written; 0 otherwise,
 * and then nothing is left at path that was not there before (the file is
 * written under a temporary name and renamed into place). */
ARCHLIB_API int ARCHLIB_CALL CompressItToFile(const unsigned char* data, const char* path,
                                              int* length);

/* Expands the file at path into buffer, which holds *capacity bytes. Returns
 * the number of bytes expanded; 0 on any failure: missing or unreadable
 * file, not an archlib file, damaged or truncated data, a check that does
 * not match, or an expanded size above *capacity. Never writes past
 * buffer + *capacity (nothing at all when the size is above it). */
ARCHLIB_API int ARCHLIB_CALL ExpandItFromFile(const char* path, unsigned char* buffer,
                                              int* capacity);

#ifdef __cplusplus
}
#endif

#endif /* ARCHLIB_H */
