/* Calling-convention and visibility macros shared by every termlink header. */
#ifndef TERMLINK_BASE_H
#define TERMLINK_BASE_H

#if defined(_WIN32)
#define TL_STDCALL __stdcall
#define TL_CDECL __cdecl
#if defined(TL_BUILDING)
/* The DLL exports exactly what its .def file (made from the export table)
   lists, under the exact names hosts bind; no dllexport, which would add the
   compiler's own decorated names. */
#define TL_API
#else
#define TL_API __declspec(dllimport)
#endif
#else
#define TL_STDCALL
#define TL_CDECL
#if defined(TL_BUILDING)
#define TL_API __attribute__((visibility("default")))
#else
#define TL_API
#endif
#endif

/* An open connection to one terminal; opaque to the caller. */
typedef void* TL_HANDLE;

#endif /* TERMLINK_BASE_H */
