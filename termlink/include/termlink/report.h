/* Report tables and HTML attendance reports. */
#ifndef TERMLINK_REPORT_H
#define TERMLINK_REPORT_H

#include "termlink/base.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* TERMLINK_REPORT_H */
