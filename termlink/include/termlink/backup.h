/* Backup and restore of the terminal's data, fingerprint image capture and
 * MF card writing. */
#ifndef TERMLINK_BACKUP_H
#define TERMLINK_BACKUP_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Backup and restore ---------------------------------------------------
 *
 * The backup file is written and read by archlib (libarchlib.so /
 * archlib.dll), which is loaded by name for each call and released before
 * the call returns; without it (or without the function needed) the result
 * is -100 and nothing is sent. path: a text of 1 to 199 bytes (it must fit a
 * 200-byte field with its NUL); a null, empty or longer path gives 4 with
 * nothing sent. */

/* Reads every block of the terminal's data memory that its block map lists
 * (at most 127 blocks of 64 KiB) and writes them compressed to path; the
 * file is replaced only when it was written whole. 1 written; 0 nothing to
 * back up (no file written); -2 the terminal refused or did not answer, or
 * its block map is shorter than the block count it announces; 4 the path
 * was refused or compression failed; -100 no memory or no archlib. */
TL_API int TL_STDCALL TL_BackupData(TL_HANDLE session, const char* path);

/* Expands the backup file at path, has the terminal erase all its data
 * (after disabling it) and installs the backup. 1 installed; 0 the terminal
 * refused to erase its data (nothing pushed, the terminal keeps its data);
 * -2 the push or the install failed: the terminal's data is already erased,
 * the restore may be tried again; 4 the path was refused or the file could
 * not be expanded (nothing sent); -100 no memory or no archlib. Once the
 * erase is accepted every table cached in the session is forgotten. */
TL_API int TL_STDCALL TL_RestoreData(TL_HANDLE session, const char* path);

/* ---- Image capture --------------------------------------------------------
 *
 * fullImage non-zero: the full image; 0: the sensor image. *width in: the
 * width to ask for, or 0 for the terminal's own; out: the image's width;
 * *height out: its height. Both are written whenever the reply carried a
 * size, even when the result is -2. pixels: null, or room for width x height
 * bytes, at most 307208 (one byte per pixel, rows in the order received).
 * bmpPath: null, or the BMP file to write (1 to 199 bytes of text); the file
 * is written whole or not at all, so a failed capture leaves an earlier
 * picture at that path as it was.
 * 1 captured; -2 refused, no answer, a reply that does not hold the image
 * its size announces, or the BMP could not be written; 4 width or height
 * null, or an empty or too long bmpPath (nothing sent). */
TL_API int TL_STDCALL TL_CaptureImage(TL_HANDLE session, int fullImage, int* width, int* height,
                                      unsigned char* pixels, const char* bmpPath);

/* ---- MF cards ---------------------------------------------------------------
 *
 * Results of both: 1 done; 0, -4 or -5 the terminal refused (with 2, 1 or 4
 * status bytes: the meaning is the terminal's); -2 no answer or another
 * refusal. */

/* Writes to the presented card. descriptor: 12 bytes read (four entries of
 * a u16 length and one byte passed through); data: the first (sum of the
 * four lengths) bytes are read, at most 4096. The user number travels as 4
 * bytes on terminals whose user numbers are wider than 5 digits, else as 2.
 * 4 with nothing sent: null descriptor or data, lengths adding up to more
 * than 4096, or a user number that does not fit (negative, or above 65535
 * when sent as 2 bytes). */
TL_API int TL_STDCALL TL_MFWrite(TL_HANDLE session, int userNumber, const unsigned char* descriptor,
                                 const unsigned char* data);

/* Erases the presented card. */
TL_API int TL_STDCALL TL_MFEmpty(TL_HANDLE session);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_BACKUP_H */
