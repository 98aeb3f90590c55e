// Built when the simulated terminal is not part of the build.
#include "cli/app.h"
#include "cli/errors.h"

namespace tlcli {

std::unique_ptr<EmbeddedSimulator> StartSimulator(const std::string&, int) {
    throw ToolError(kExitUnsupported, "this termlink was built without the simulated terminal");
}

std::vector<std::string> SimulatorProfiles() {
    return {};
}

}  // namespace tlcli
