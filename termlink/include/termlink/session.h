/* Connection, real-time events and terminal lock. */
#ifndef TERMLINK_SESSION_H
#define TERMLINK_SESSION_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Connection ------------------------------------------------------- */

/* Network terminal over the datagram plug-in. address: NUL-terminated host
 * name or address, any length (null or empty: 127.0.0.1). i1..i3 go to the
 * transport unchanged (see docs/wire-protocol.md for their meaning in our
 * portmux). */
TL_API TL_HANDLE TL_STDCALL TL_Connect_NET(const char* address, int port, int i1, int i2, int i3);
/* Network terminal over the TCP plug-in; address as above. */
TL_API TL_HANDLE TL_STDCALL TL_Connect_NETEX(const char* address, int port, int i1, int i2, int i3);
/* USB terminal. */
TL_API TL_HANDLE TL_STDCALL TL_Connect_USB(int port, int i1, int i2, int i3);
/* Serial terminal: port name (NUL-terminated "COM1" or a device path; null
 * opens nothing), the terminal's number on the line, baud rate (0 opens
 * nothing), and an optional NUL-terminated init text of which at most the
 * first 19 bytes are used (null or empty: none). */
TL_API TL_HANDLE TL_STDCALL TL_Connect_COM(const char* portName, int portNumber, int baud, int i1,
                                           int i2, int i3, const char* initText);
TL_API int TL_STDCALL TL_Close(TL_HANDLE session);
/* The transport's last error code. */
TL_API int TL_CDECL TL_LastError(void);

/* ---- Real-time events and terminal lock -------------------------------- */

TL_API int TL_STDCALL TL_RegEvent(TL_HANDLE session, int eventMask);
/* Polls the terminal for events since the last poll. */
TL_API int TL_STDCALL TL_ReadRTLog(TL_HANDLE session);
/* Hands out one polled event. eventData receives the event's bytes: 36 on
 * TFT terminals, else 16 or 14 by firmware, so 36 bytes always suffice.
 * Either pointer may be null. */
TL_API int TL_STDCALL TL_GetRTLog(TL_HANDLE session, int* eventKind, unsigned char* eventData);
TL_API int TL_STDCALL TL_EnableDevice(TL_HANDLE session);
TL_API int TL_STDCALL TL_DisableDevice(TL_HANDLE session, int value);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_SESSION_H */
