// Runs the tool in-process, as its main would, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/app.h"

namespace tlcli {

struct Result {
    int code;
    std::string out, err;
};

inline Result Tool(std::vector<std::string> argv) {
    std::ostringstream out, err;
    const int code = Run(argv, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace tlcli
