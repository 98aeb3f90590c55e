// The QVUpdate dialog (FLTK): a thin layer over the core's update run.
#pragma once

namespace qvupdate::window {

// Shows the dialog and runs until it is closed. Returns the exit status.
int RunDialog();

}  // namespace qvupdate::window
