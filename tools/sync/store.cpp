#include "store.h"

#include "backends.h"

namespace tlsync {

std::unique_ptr<Store> OpenStore(const std::string& url, bool create) {
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
        return OpenPostgresStore(url);
    std::string path = url.rfind("sqlite:", 0) == 0 ? url.substr(7) : url;
    if (path.empty()) throw StoreError("sqlite: no database file given");
    return OpenSqliteStore(path, create);
}

}  // namespace tlsync
