#include "runner.h"

#include "store.h"

namespace tlsync {

RunSummary Run(const std::string& databaseUrl, const RunOptions& options) {
    throw StoreError("not available in this build");
}

}  // namespace tlsync
