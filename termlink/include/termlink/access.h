/* Access control: time zones, groups, unlock combinations, holidays, doors. */
#ifndef TERMLINK_ACCESS_H
#define TERMLINK_ACCESS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_ACCESS_H */
