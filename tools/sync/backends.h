// The database backends behind OpenStore.
#pragma once

#include <memory>
#include <string>

#include "store.h"

namespace tlsync {

std::unique_ptr<Store> OpenSqliteStore(const std::string& path, bool create);
std::unique_ptr<Store> OpenPostgresStore(const std::string& uri);

}  // namespace tlsync
