/* Bulk table reads and attendance/operation log iteration. */
#ifndef TERMLINK_RECORDS_H
#define TERMLINK_RECORDS_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_RECORDS_H */
