/* Fingerprint template codec and version-10 template container. */
#ifndef TERMLINK_TEMPLATES_H
#define TERMLINK_TEMPLATES_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Template codec ---------------------------------------------------- */
/* A template is read only as far as its own encoding reaches: at most 2309
 * bytes in the current layout, 16588 in the older ones, 2 bytes when the
 * first two are no template's. In the current layout that includes a grid
 * block that byte 3 announces (2 + columns x rows bytes), even when the
 * block proves invalid and the template's length stops before it. A null
 * pointer gives 4. */

/* The bytes a standard template occupies: 1 and the length, or 4 and a
 * length of 0 when the bytes are not a decodable template (length required,
 * written in both cases). */
TL_API int TL_STDCALL TL_FPTempLength(const unsigned char* tmp, int* length);
/* Rewrites the template in place as the current layout of at most maxLength
 * bytes (dropping the direction grid, then the outermost minutiae, if need
 * be): 1, or 4 when that is not possible (template unchanged). The result
 * may be longer than the template given: tmp must hold min(maxLength, 2309)
 * bytes. */
TL_API int TL_STDCALL TL_SetFPTempLength(unsigned char* tmp, int maxLength);
/* Converts to the older layout; destination holds 1023 bytes (at most that
 * many written). 1 and *length when it exceeds 50 bytes, else 4. */
TL_API int TL_STDCALL TL_FPTempConvert(const unsigned char* source, unsigned char* destination,
                                       int* length);
/* Normalises to the current layout; destination holds 2048 bytes. *length
 * in: a wanted maximum W (100 < W < 2048 shrinks source and destination to
 * at most W bytes, so source must then hold W bytes; anything else never
 * shrinks and source is only read). *length out: the final length. 1, or 4
 * when the result would be 50 bytes or less, would not fit, or cannot be
 * shrunk to W. */
TL_API int TL_STDCALL TL_FPTempConvertNew(unsigned char* source, unsigned char* destination,
                                          int* length);

/* ---- Version-10 template container ------------------------------------- */
/* A container is read as far as its length field (bytes 8-9, big-endian)
 * says: at least 24 bytes, at most 16384. Input containers are unscrambled
 * in place while they are worked on and restored before the call returns,
 * so they must be writable. */

/* Joins `count` containers (an array of count pointers) into `output`, which
 * receives at most 16384 bytes; the length of the merged container, or 0.
 * Prints trace lines on standard output. */
TL_API int TL_CDECL FRILEX_MERGE_TEMPLATE(unsigned char** containers, int count,
                                          unsigned char* output);
TL_API int TL_STDCALL TL_MergeTemplate(unsigned char** containers, int count,
                                       unsigned char* output);
/* Cuts a container into one container per embedded template (at most 255,
 * as byte 10 says); outputs holds that many pointers and output i needs that
 * template's length + 24 bytes (none is written unless all are given). The
 * number of containers produced, also written to *count and their sizes to
 * sizes[] (as many ints; either may be null), or 0. Prints trace lines on
 * standard output. */
TL_API int TL_CDECL FRILEX_SPLIT_TEMPLATE(unsigned char* container, unsigned char** outputs,
                                          int* count, int* sizes);
TL_API int TL_STDCALL TL_SplitTemplate(unsigned char* container, unsigned char** outputs,
                                       int* count, int* sizes);

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_TEMPLATES_H */
