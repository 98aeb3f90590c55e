/* Maintenance transfers: firmware, files, language texts, raw tables and the
 * generic command. */
#ifndef TERMLINK_MAINTENANCE_H
#define TERMLINK_MAINTENANCE_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results: 1 success, -1 null session, -2 refused, no answer or (where
 * said) a local file problem. Refusals of the caller's input (4) happen
 * before any traffic. Paths are NUL-terminated texts read whole. */

/* Installs the firmware image packed in the text file at `path`
 * (FirmwareVersion= or PLT300_FirmwareVersion=, FirmwareLength=,
 * FirmwareCheckSum=, Data0=...). 4 when the file is missing, null or
 * rejected (other platform family, version not newer than the terminal's,
 * malformed, short, checksum wrong): nothing is sent. */
TL_API int TL_STDCALL TL_UpdateFirmware(TL_HANDLE session, const char* path);
/* Pushes the file at `path` to the terminal under its base name (the part
 * after the last directory separator). 4 for a null path (checked before
 * the session), a base name that is empty or 36 bytes or longer, or a file
 * over 1 MiB (1048576 bytes); -4 no memory; -2 the file cannot be read or
 * the exchange failed. The terminal is locked during the transfer and
 * unlocked afterwards whatever the outcome. */
TL_API int TL_STDCALL TL_SendFile(TL_HANDLE session, const char* path);
/* Pulls the terminal's file `name` into directory + name (plain
 * concatenation: `directory` must end with its separator; "" is the current
 * directory). The file is written whole or not at all. 4 for a null or empty
 * name or a null directory; -4 no memory; -2 refused, no answer or the file
 * could not be written, and also (nothing sent) when directory and name
 * together are 200 bytes or more. */
TL_API int TL_STDCALL TL_ReadFile(TL_HANDLE session, const char* name, const char* directory);
/* Language text `text` (at most 96 bytes before its NUL) for language `id`.
 * 4 for a negative id, a null text or a longer one. Locked and unlocked as
 * TL_SendFile. */
TL_API int TL_STDCALL TL_UpdateLanguageByID(TL_HANDLE session, int id, const char* text);
/* Sends any command code with a, b and c as three 32-bit words; 1 when the
 * terminal answers REPLY_OK, else -2. */
TL_API int TL_CDECL TL_SendBackgroundCMD(TL_HANDLE session, int command, int a, int b, int c);
/* Reads table `kind` (low byte sent) into the file `outputPath`: the table's
 * bytes without the transport's length prefix, written whole or not at all.
 * 1 written; 0 nothing received; -2 refused; 4 null path or the file could
 * not be written; -100 no memory. Waits a second after a successful read. */
TL_API int TL_STDCALL TL_GetData(TL_HANDLE session, int kind, const char* outputPath);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_MAINTENANCE_H */
