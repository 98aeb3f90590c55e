/* Face templates and enrolment control: read, write and delete a user's face
 * template, and make the terminal itself enrol, verify or identify. */
#ifndef TERMLINK_FACES_H
#define TERMLINK_FACES_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Face templates -------------------------------------------------------
 *
 * A face is named by the user's text ID and a face index (0-255; its meaning
 * is the terminal's). userId: exactly 24 bytes are read and sent as they
 * are, whatever NUL they hold, so the buffer must hold 24 readable bytes:
 * give a zero-filled 24-byte field holding the ID, not a short literal.
 * Null userId, or an index outside 0-255, gives 4 with nothing sent.
 *
 * Results: 1 success; 0 the terminal refused or has no such face; -1 null
 * session; -2 no answer, or the transfer failed; 4 an argument refused,
 * nothing sent. */

/* Reads a face into buffer. *length in: the buffer's capacity, at least 28
 * (the request is built in the buffer's first 28 bytes; below that 4 and
 * nothing written). On return from an exchange *length holds the transport's
 * result whatever the reply; buffer then receives at most the capacity: a
 * 4-byte little-endian face length, then the face (so a face of n bytes
 * needs a capacity of n + 4, at most 131076). A face larger than the
 * capacity gives -2 (*length -1; the first 4 bytes may say the face's
 * length). Null buffer or length gives 4. */
TL_API int TL_STDCALL TL_GetUserFace(TL_HANDLE session, const char* userId, int faceIndex,
                                     unsigned char* buffer, int* length);
/* Writes a face of `length` bytes read from faceData (0 to 131072; a
 * negative length or one above 131072 gives -3 with nothing sent; null
 * faceData gives 4). Only the face's own bytes travel; the request's 16-bit
 * length field says 65535 for a face of 65535 bytes or more. 1 when stored;
 * otherwise by the transport's result: 2 gives 0, 1 gives -4, 4 gives -5,
 * anything else -2. libportmux returns 1 for every exchange the terminal
 * answered, so through it a refusal is -4 and no answer -2. */
TL_API int TL_STDCALL TL_SetUserFace(TL_HANDLE session, const char* userId, int faceIndex,
                                     const unsigned char* faceData, int length);
/* Deletes a face: 1; 0 when the terminal answers "not found" (a refusal with
 * two reply bytes); -2 otherwise. */
TL_API int TL_STDCALL TL_DelUserFace(TL_HANDLE session, const char* userId, int faceIndex);

/* ---- Enrolment control ----------------------------------------------------
 *
 * The terminal starts capturing and runs until it is done or cancelled; the
 * meaning of finger, flag and state values is the terminal's. finger and
 * flag must be 0-255 (else 4, nothing sent).
 *
 * Results: 1 the terminal accepted; otherwise what the transport returned for
 * the exchange (the number of reply bytes: usually 0, but any value, 1 and 4
 * included, is possible), so only 1 means success. -1 null session; 4 an
 * argument refused, nothing sent. */

/* Enrols a finger of a user. number: the user number people enrol with. On
 * text-ID terminals it is sent as its decimal text (the user's ID). On
 * other terminals it is resolved to the internal number through the cached
 * user table when the user-number width is wide (learn it first with
 * TL_GetPINWidth), and that number must fit 16 bits (0-65535), else 4. */
TL_API int TL_STDCALL TL_StartEnroll(TL_HANDLE session, int number, int finger);
/* Enrols by text ID: userId is read up to its NUL, at most 25 bytes; an ID
 * of more than 24 characters gives 4 (nothing sent), as does a null one. */
TL_API int TL_STDCALL TL_StartEnrollEx(TL_HANDLE session, const char* userId, int finger, int flag);
/* Verifies a user. number: on text-ID terminals the user whose ID is the
 * number's decimal text (an ID the terminal does not have gives 4, nothing
 * sent); on other terminals as for TL_StartEnroll. */
TL_API int TL_STDCALL TL_StartVerify(TL_HANDLE session, int number, int finger);
/* Identifies whoever presents a finger. */
TL_API int TL_STDCALL TL_StartIdentify(TL_HANDLE session);
/* Stops what the terminal is capturing. */
TL_API int TL_STDCALL TL_CancelOperation(TL_HANDLE session);
/* The terminal's capture state into *state (1 int; null gives 4, nothing
 * sent): the number of bytes the terminal answered with. 1, or -2 (state
 * left as it was). */
TL_API int TL_STDCALL TL_QueryState(TL_HANDLE session, int* state);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_FACES_H */
