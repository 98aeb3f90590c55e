// Batch update: user and template writes and deletes collected in session
// lists while a batch is open, then uploaded in one block and applied by the
// terminal.
#pragma once

#include "session/session.h"

namespace tl {

// Opens a batch (flag 1: writes overwrite). -100 on firmware that cannot
// take batches; -2 when the lists cannot be allocated. A batch already open
// is dropped and a new, empty one started.
int BeginBatchUpdate(DeviceSession& s, int flag);
// Uploads and applies the open batch, then closes it whatever the outcome:
// 1 applied; 0 the terminal refused to start; -2 upload or apply failed;
// -100 no batch open (nothing changed) or no room for the upload block.
int BatchUpdate(DeviceSession& s);
// Drops the open batch (if any). Always 1.
int CancelBatchUpdate(DeviceSession& s);

}  // namespace tl
