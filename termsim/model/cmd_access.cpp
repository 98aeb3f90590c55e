// Access control: time zones, group time zones, holidays, unlock
// combinations, door state and unlock.
#include "internal.h"

namespace termsim {

void RegisterAccessCommands(CommandTable&) {}

}  // namespace termsim
