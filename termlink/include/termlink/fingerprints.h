/* Fingerprint templates on the terminal, one finger at a time, and batch
 * update. */
#ifndef TERMLINK_FINGERPRINTS_H
#define TERMLINK_FINGERPRINTS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Fingerprint templates --------------------------------------------------
 *
 * Three families: classic (user number, as the user exports take it), Ex
 * (user number as decimal text, or the text ID on TFT terminals, with a flag
 * byte) and text ID (SSR_; the Ext forms send the 24-byte ID itself).
 *
 * Templates in: a standard template (read as far as its own layout says, at
 * most 2309 bytes in the current layout and 16588 in the older ones) is
 * normalised before it is sent and shrunk to 1011 bytes (598 for
 * TL_SetUserTmpEx) when longer; the caller's template is then rewritten in
 * place with the shrunk form when that fits in the bytes it occupied. On
 * terminals with fingerprint version 10, SSR_TL_SetUserTmp and
 * TL_SetUserTmpEx take a template container instead: its big-endian length
 * at bytes 8-9 (10 to 32768; 128 to 32768 for TL_SetUserTmpEx) says how many
 * bytes are read.
 *
 * Templates out: buffer of *length bytes (in: the capacity, at least 3; the
 * request is built at its start and the answer replaces it). The readers
 * (Get) store the transport's result in *length whatever the outcome (Ex:
 * one less, the flag byte taken off); the queries from the cached table
 * store the template's length on 1 and refuse with 4 a template longer than
 * the capacity. On fingerprint-version-10 terminals SSR_TL_GetUserTmp and
 * TL_GetUserTmpEx read through the data transfer: the buffer then starts with
 * the template's length as a 4-byte little-endian number, counted in *length.
 *
 * Results: 1 success; 0 REPLY_ERROR on a read, not found, or an unknown user
 * (nothing sent); -1 null session; -2 refused or no answer, or (batch open)
 * no room left in the batch; -3 unusable template (not a template, under 50
 * bytes, not shrinkable, container length out of range), nothing sent; -100
 * the wrong kind of template for the terminal's fingerprint version, or a
 * finger other than 15 for a container; 4 a required pointer is null or the
 * buffer holds fewer than 3 bytes, nothing sent. Writes whose exchange fails
 * give 0, -4 or -5 for transport results 2, 1 and 4 (append: no -5). While a
 * batch is open, writes (except append) and deletes are queued and give 1.
 *
 * A standard template given to a version-10 write (SSR_TL_SetUserTmp,
 * TL_SetUserTmpEx) is recognised, and refused with -100, only within the
 * container length that its bytes 8-9 read as: the check looks no further
 * than that length, since reading past it could run past a real container.
 * When those bytes read as a length shorter than the standard template, the
 * write gives -3 where that length is below the container minimum (10; 128
 * for TL_SetUserTmpEx) or above 32768, and otherwise sends that many bytes
 * as a container. Nothing is sent with -3 or -100. */

TL_API int TL_STDCALL TL_GetUserTmp(TL_HANDLE session, int number, int finger,
                                    unsigned char* buffer, int* length);
/* From the cached template table (TL_ReadTempData) when there is one, else
 * as TL_GetUserTmp. The length is the template's own. */
TL_API int TL_STDCALL TL_QueryUserTemp(TL_HANDLE session, int number, int finger,
                                       unsigned char* buffer, int* length);
TL_API int TL_STDCALL TL_SetUserTmp(TL_HANDLE session, int number, int finger, unsigned char* tmp);
/* Adds a template to the user's set (never queued); the user cache is
 * discarded on success. */
TL_API int TL_STDCALL TL_AppendUserTmp(TL_HANDLE session, int number, unsigned char* tmp);
TL_API int TL_STDCALL TL_DelUserTmp(TL_HANDLE session, int number, int finger);
/* Identification on the terminal: *number receives the matching user's
 * enrolled number (internal number when the user-number width is 5 or less,
 * and on text-ID terminals, whose users have no enrolled number). 1 match;
 * 0 no match; -3 the template cannot be normalised. */
TL_API int TL_STDCALL TL_TestUserTmp(TL_HANDLE session, int* number, const unsigned char* tmp);

/* Ex: userId is a NUL-terminated text. flag (may be null) receives the
 * template's flag byte (TFT terminals; the queries when the template is not
 * empty). */
TL_API int TL_STDCALL TL_GetUserTmpEx(TL_HANDLE session, const char* userId, int finger, int* flag,
                                      unsigned char* buffer, int* length);
TL_API int TL_STDCALL TL_QueryUserTempEx(TL_HANDLE session, const char* userId, int finger,
                                         int* flag, unsigned char* buffer, int* length);
TL_API int TL_STDCALL TL_SetUserTmpEx(TL_HANDLE session, const char* userId, int finger, int flag,
                                      unsigned char* tmp);

/* Text ID: userId is a NUL-terminated text of up to 24 characters. */
TL_API int TL_STDCALL SSR_TL_GetUserTmp(TL_HANDLE session, const char* userId, int finger,
                                        unsigned char* buffer, int* length);
TL_API int TL_STDCALL SSR_TL_QueryUserTemp(TL_HANDLE session, const char* userId, int finger,
                                           unsigned char* buffer, int* length);
TL_API int TL_STDCALL SSR_TL_SetUserTmp(TL_HANDLE session, const char* userId, int finger,
                                        unsigned char* tmp);
TL_API int TL_STDCALL SSR_TL_DelUserTmp(TL_HANDLE session, const char* userId, int finger);
/* Ext: userId is a 24-byte field, read up to its first NUL (a full field
 * needs no terminator) and sent as the terminal's ID field. */
TL_API int TL_STDCALL SSR_TL_SetUserTmpExt(TL_HANDLE session, int flag, const char* userId,
                                           int finger, unsigned char* tmp);
TL_API int TL_STDCALL SSR_TL_DelUserTmpExt(TL_HANDLE session, const char* userId, int finger);

/* ---- Batch update -----------------------------------------------------------
 *
 * Between TL_BeginBatchUpdate and TL_BatchUpdate, user and template writes
 * and deletes are queued in memory and uploaded in one block. The queue
 * holds at most 2 MiB of user commands, 2 MiB of template commands, 20 MiB
 * of template data and 16 MiB in all; a write that would not fit gives -2
 * and leaves the batch as it was. */

/* flag 1: queued writes overwrite. 1; -100 the firmware cannot take batches;
 * -2 no memory. An open batch is dropped and a new one started. */
TL_API int TL_CDECL TL_BeginBatchUpdate(TL_HANDLE session, int flag);
/* 1 applied; 0 the terminal refused to start; -2 upload or apply failed;
 * -100 no batch open. The batch is closed in every case and the user cache
 * discarded (the next user read downloads the table again). */
TL_API int TL_CDECL TL_BatchUpdate(TL_HANDLE session);
/* Drops the queued work and discards the user cache; 1. */
TL_API int TL_CDECL TL_CancelBatchUpdate(TL_HANDLE session);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_FINGERPRINTS_H */
