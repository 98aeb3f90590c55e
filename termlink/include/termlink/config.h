/* Device information, options, identity, clock and network settings. */
#ifndef TERMLINK_CONFIG_H
#define TERMLINK_CONFIG_H

#include <stdint.h>

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Device information and options ------------------------------------ */

/* Numbered item `index` (1-69) into *value (one int; null gives 4 for the
 * items read from the terminal), converted for items 3, 9 and 23-25.
 * Special indexes: 8999 (value points to a 100-byte text buffer holding a
 * NUL-terminated key of at most 99 bytes; it receives the reply "key=value"
 * and a NUL, cut to 100 bytes), -6 (clear-data command with the low byte of
 * *value, in/out), -5 (TL_ReadData with value as buffer and value[1] as its
 * size), -4..-1 (transport, session, portmux and termlink module handles,
 * low 32 bits, into *value when not null; result 4). 1 read; 4 not served;
 * -2; -1. */
TL_API int TL_STDCALL TL_GetDeviceInfo(TL_HANDLE session, int index, int* value);
/* Writes item `index` (reduced modulo 10000). For index 8999 `value` carries
 * a pointer to a complete NUL-terminated "key=value" text, sent whole (null:
 * 4); it is pointer-sized so that it can. Other items take its low 32 bits.
 * 1; -100 fixed item given another value; 4 no such item; -2; -1. */
TL_API int TL_STDCALL TL_SetDeviceInfo(TL_HANDLE session, int index, intptr_t value);
/* Value text of item `index` (1-69, not 12) without conversion: the text and
 * a NUL, at most 97 bytes. Null value: 4. */
TL_API int TL_STDCALL TL_GetDeviceStrInfo(TL_HANDLE session, int index, char* value);
/* Value text of option `key` (NUL-terminated within its first 100 bytes,
 * else 4): the text and a NUL, at most 100 - key length bytes, so 100 bytes
 * always suffice. Null key or value: 4. */
TL_API int TL_STDCALL TL_GetSysOption(TL_HANDLE session, const char* key, char* value);
/* Writes key=value from two NUL-terminated texts (hidden "~" keys scrambled
 * where the terminal needs it, which doubles the value's length and adds 2).
 * 4 for a null or empty key, a null value or a text over 139 bytes (nothing
 * sent). */
TL_API int TL_STDCALL TL_SetSysOption(TL_HANDLE session, const char* key, const char* value);
/* Makes the terminal apply the options written. */
TL_API int TL_STDCALL TL_RefreshOptions(TL_HANDLE session);

/* ---- Identity, clock and network ---------------------------------------- */
/* 1 success; -2 refused or no answer; -1 null session. Text outputs receive
 * the value and a NUL, at most the bytes named (100 always suffice); a null
 * one gives 4. Text inputs are NUL-terminated and sent whole (null: 4).
 * Where a default is named, a terminal without the option gives the default
 * and 1. Other out-parameters may be null. */

/* The terminal's version text as it sends it; `version` holds >= 50 bytes. */
TL_API int TL_STDCALL TL_GetFirmwareVersion(TL_HANDLE session, char* version);
/* Option texts; default, then the most bytes written with the NUL. */
TL_API int TL_STDCALL TL_GetSerialNumber(TL_HANDLE session, char* text); /* "0"; 87 */
TL_API int TL_STDCALL TL_GetProductName(TL_HANDLE session, char* text);  /* "Clockara I"; 89 */
TL_API int TL_STDCALL TL_GetVendor(TL_HANDLE session, char* text);       /* "Qavelin Inc."; 90 */
TL_API int TL_STDCALL TL_GetSensorSN(TL_HANDLE session, char* text);     /* ""; 96 */
TL_API int TL_STDCALL TL_ReadCustData(TL_HANDLE session, char* text);    /* ""; 91 */
TL_API int TL_STDCALL TL_WriteCustData(TL_HANDLE session, const char* text);
TL_API int TL_STDCALL TL_GetWiegandFmt(TL_HANDLE session, char* text); /* ""; 90 */
TL_API int TL_STDCALL TL_SetWiegandFmt(TL_HANDLE session, const char* text);
TL_API int TL_STDCALL TL_GetIPAddress(TL_HANDLE session, char* text); /* none; 91 */
TL_API int TL_STDCALL TL_SetIPAddress(TL_HANDLE session, const char* address);
TL_API int TL_STDCALL TL_GetDevicePort(TL_HANDLE session, unsigned short* port);
/* Writes the low 16 bits of port. */
TL_API int TL_STDCALL TL_SetDevicePort(TL_HANDLE session, int port);
TL_API int TL_STDCALL TL_GetDeviceNumber(TL_HANDLE session, unsigned short* number);
/* Writes the low 16 bits of number. */
TL_API int TL_STDCALL TL_SetDeviceNumber(TL_HANDLE session, int number);
TL_API int TL_STDCALL TL_GetLanguage(TL_HANDLE session, int* language);
TL_API int TL_STDCALL TL_SetLanguage(TL_HANDLE session, int language);
TL_API int TL_STDCALL TL_SetDeviceCommPwd(TL_HANDLE session, int password);
/* 1 card-only terminal; 2 card reader present; 0 none. *function may
 * already hold the first option's value when the result is -2. */
TL_API int TL_STDCALL TL_GetCardFun(TL_HANDLE session, int* function);
TL_API int TL_STDCALL TL_GetTime(TL_HANDLE session, int* year, int* month, int* day, int* hour,
                                 int* minute, int* second);
TL_API int TL_STDCALL TL_SetTime(TL_HANDLE session, int year, int month, int day, int hour,
                                 int minute, int second);
/* One status counter, statusIndex 1-22; 4 for indexes outside 1-25 (checked
 * before the session) and for 23-25, which name no counter. */
TL_API int TL_STDCALL TL_GetDeviceStatus(TL_HANDLE session, int statusIndex, int* value);
/* The terminal's user-number width (5 when it does not say); remembered in
 * the session for the text-ID readers. *width is set to 5 before asking, so
 * it holds 5 also when the result is -2. */
TL_API int TL_STDCALL TL_GetPINWidth(TL_HANDLE session, int* width);
/* 1 and *flag 0/1; a null session gives -1 with *flag 0. */
TL_API int TL_STDCALL TL_IsTFTMachine(TL_HANDLE session, int* flag);
/* The fingerprint algorithm version learned at connect. */
TL_API int TL_STDCALL TL_GetKeyOptions(TL_HANDLE session, int* value);
/* This library's version text and a NUL (8 bytes); no session; null: 1,
 * nothing written. */
TL_API int TL_STDCALL TL_GetSDKVersion(char* text);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_CONFIG_H */
