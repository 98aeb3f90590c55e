// The QVUpdate dialog: a thin layer over the core's update run, one file per
// platform (dialog.cpp with FLTK, dialog_windows.cpp with Win32 controls).
#pragma once

namespace qvupdate::window {

// Shows the dialog and runs until it is closed. Returns the exit status.
int RunDialog();

}  // namespace qvupdate::window
