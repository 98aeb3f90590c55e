/* termlink: host library for fingerprint time-attendance and access-control
 * terminals. Every function is a blocking call that returns an integer result
 * (connects return a session handle, null on failure).
 *
 * Results: 1 success; 0 nothing to return / end of data / not found;
 * -1 null session (nothing sent); -2 the terminal refused, did not answer or a
 * download failed; -100 not available for this firmware or terminal kind;
 * 4 an argument refused, nothing sent. Out-parameters are written only when
 * the result is 1. */
#ifndef TERMLINK_H
#define TERMLINK_H

/* One header per family of functions; this one includes them all. */
#include "termlink/access.h"
#include "termlink/backup.h"
#include "termlink/base.h"
#include "termlink/config.h"
#include "termlink/content.h"
#include "termlink/control.h"
#include "termlink/fingerprints.h"
#include "termlink/faces.h"
#include "termlink/maintenance.h"
#include "termlink/records.h"
#include "termlink/report.h"
#include "termlink/session.h"
#include "termlink/templates.h"
#include "termlink/users.h"

#endif /* TERMLINK_H */
