#include "backends.h"

namespace tlsync {

std::unique_ptr<Store> OpenPostgresStore(const std::string& uri) {
    throw StoreError("postgresql: not available in this build");
}

}  // namespace tlsync
