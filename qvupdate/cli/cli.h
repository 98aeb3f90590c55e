// The two command-line faces: `qvupdate --batch` (the dialog's update without
// a window) and `qvpack` (builds and lists packs). Both take their arguments
// without the program name and write to the given streams, so tests run them
// in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/hooks.h"

namespace qvupdate::cli {

enum Exit {
    kExitOk = 0,
    kExitSectionFailed = 1,
    kExitUsage = 2,
    kExitNoConnection = 3,
    kExitPack = 4,  // qvupdate: pack missing, unreadable, short or refused; qvpack: file trouble
};

// qvupdate with arguments: --batch, --help, --version.
int RunQvupdate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const Hooks& hooks);

int RunQvpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qvupdate::cli
