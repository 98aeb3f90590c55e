/* portmux: the transport library termlink and QVUpdate reach terminals through.
 * This header is the library's fixed binary interface; any build of libportmux
 * that offers these C symbols can replace ours through the library search path. */
#ifndef PORTMUX_H
#define PORTMUX_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PMX_CALL __cdecl
#if defined(PMX_BUILDING)
#define PMX_API __declspec(dllexport)
#else
#define PMX_API __declspec(dllimport)
#endif
#else
#define PMX_CALL
#define PMX_API __attribute__((visibility("default")))
#endif

typedef void *PMX_HANDLE;

enum { REPLY_OK = 2000, REPLY_ERROR = 2001 };

PMX_API PMX_HANDLE PMX_CALL PMX_INIT(const char *plugin, const char *address, int port, int baud,
                                     int arg1, int arg2, int arg3, int last);
PMX_API PMX_HANDLE PMX_CALL PMX_INITEX(const char *plugin, const char *address, int port,
                                       int baud, int arg1, int arg2, int arg3,
                                       const char *initText);
PMX_API void PMX_CALL PMX_CLOSE(PMX_HANDLE handle);

/* command: in = command code, out = reply code (low 16 bits).
   Returns the number of reply data bytes placed in buffer. */
PMX_API int PMX_CALL PMX_SENDCMD(PMX_HANDLE handle, int *command, void *buffer, int bufferSize,
                                 int requestLength, int timeoutMs);

/* Returns non-zero when the data was accepted. */
PMX_API int PMX_CALL PMX_SENDDATA(PMX_HANDLE handle, const void *data, int length, int timeoutMs);

/* Reply code comes back in *command. */
PMX_API int PMX_CALL PMX_SENDCMDDATA(PMX_HANDLE handle, int *command, const void *data,
                                     int dataLength, const void *request, int requestLength,
                                     int timeoutMs);

/* buffer: request data in, table out. Returns the bytes placed in buffer;
   with REPLY_OK the buffer starts with a u32 little-endian data length
   followed by the data, and the result counts those 4 bytes too. */
PMX_API int PMX_CALL PMX_READDATA(PMX_HANDLE handle, int *command, void *buffer, int capacity,
                                  int requestLength, int packetSize, int timeoutMs);
PMX_API int PMX_CALL PMX_READDATA1(PMX_HANDLE handle, int *command, void *buffer, int capacity,
                                   int requestLength, int packetSize, int timeoutMs);

/* inOut: in = capacity. Success = result above 0 and *inOut back at 0.
   Records start at buffer[0], no length prefix. */
PMX_API int PMX_CALL PMX_QUERYDATA(PMX_HANDLE handle, int tableKind, int packetSize, void *buffer,
                                   int *inOut);

PMX_API int PMX_CALL PMX_LASTERROR(void);

#ifdef __cplusplus
}
#endif

#endif /* PORTMUX_H */
