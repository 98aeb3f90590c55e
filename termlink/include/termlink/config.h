/* Device information, options, identity, clock and network settings. */
#ifndef TERMLINK_CONFIG_H
#define TERMLINK_CONFIG_H

#include <stdint.h>

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Device information and options ------------------------------------ */

/* Numbered item `index` (1-69) into *value, converted for items 3, 9 and
 * 23-25. Special indexes: 8999 (value points to a 100-byte text buffer
 * holding a key; it receives the reply "key=value"), -6 (clear-data command
 * with the low byte of *value), -5 (TL_ReadData with value as buffer and
 * value[1] as its size), -4..-1 (transport, session, portmux and termlink
 * module handles, low 32 bits; result 4). 1 read; 4 not served; -2; -1. */
TL_API int TL_STDCALL TL_GetDeviceInfo(TL_HANDLE session, int index, int *value);
/* Writes item `index` (reduced modulo 10000). For index 8999 `value` carries
 * a pointer to a complete "key=value" text; it is pointer-sized so that it
 * can. 1; -100 fixed item given another value; 4 no such item; -2; -1. */
TL_API int TL_STDCALL TL_SetDeviceInfo(TL_HANDLE session, int index, intptr_t value);
/* Value text of item `index` (1-69) without conversion. */
TL_API int TL_STDCALL TL_GetDeviceStrInfo(TL_HANDLE session, int index, char *value);
/* Value text of option `key` (at most 99 bytes). */
TL_API int TL_STDCALL TL_GetSysOption(TL_HANDLE session, const char *key, char *value);
/* Writes key=value (hidden "~" keys scrambled where the terminal needs it).
 * 4 for an empty key or a text over 139 bytes (nothing sent). */
TL_API int TL_STDCALL TL_SetSysOption(TL_HANDLE session, const char *key, const char *value);
/* Makes the terminal apply the options written. */
TL_API int TL_STDCALL TL_RefreshOptions(TL_HANDLE session);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_CONFIG_H */
