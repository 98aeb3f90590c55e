/* Users, user lookups and fingerprint templates. */
#ifndef TERMLINK_USERS_H
#define TERMLINK_USERS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_USERS_H */
