// Running the built programs from a test: a shell command with its output
// captured in files, and the simulated terminal it talks to.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qvtest {

struct Ran {
    int code = -1;
    std::string out, err;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `command` (already quoted) with standard output and error in files
// under `dir`.
inline Ran Shell(const std::string& command, const std::string& dir) {
    const std::string out = dir + "/stdout", err = dir + "/stderr";
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    Ran r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

}  // namespace qvtest
