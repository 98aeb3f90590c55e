// termlink: command-line access to a fingerprint time-attendance terminal.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/app.h"
#include "cli/host.h"

namespace {

void OnInterrupt(int) {
    // A second Ctrl-C ends the program at once.
    if (tlcli::g_interrupted) std::_Exit(130);
    tlcli::g_interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, OnInterrupt);
    tlcli::host::UseBinaryStdout();
    std::vector<std::string> args(argv + 1, argv + argc);
    return tlcli::Run(args, std::cout, std::cerr, tlcli::host::StderrIsTerminal());
}
