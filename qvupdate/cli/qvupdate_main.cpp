// qvupdate: the dialog window without arguments, the batch face with them.
#include <iostream>

#include "cli/cli.h"
#include "core/hooks.h"

#ifdef QVUPDATE_HAVE_WINDOW
#include "window/dialog.h"
#endif

int main(int argc, char** argv) {
    if (argc > 1)
        return qvupdate::cli::RunQvupdate(std::vector<std::string>(argv + 1, argv + argc),
                                          std::cout, std::cerr, qvupdate::DefaultHooks());
#ifdef QVUPDATE_HAVE_WINDOW
    return qvupdate::window::RunDialog();
#else
    std::cerr << "qvupdate: this build has no window (FLTK was not found); use --batch\n";
    return qvupdate::cli::kExitUsage;
#endif
}
