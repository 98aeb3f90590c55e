/* Fingerprint template codec and version-10 template container. */
#ifndef TERMLINK_TEMPLATES_H
#define TERMLINK_TEMPLATES_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_TEMPLATES_H */
