#include "backends.h"

namespace tlsync {

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
    throw StoreError("sqlite: not available in this build");
}

}  // namespace tlsync
