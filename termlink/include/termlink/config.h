/* Device information, options, identity, clock and network settings. */
#ifndef TERMLINK_CONFIG_H
#define TERMLINK_CONFIG_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_CONFIG_H */
