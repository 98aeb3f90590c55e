// Base of every object a plug-in hands out, so that one close() releases
// links and listeners alike.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <string>

namespace pmx {

struct PluginObject {
    virtual ~PluginObject() = default;
};

// getaddrinfo for a numeric port; null on failure. Free with freeaddrinfo.
addrinfo* Resolve(const char* address, int port, int socktype, bool passive);

}  // namespace pmx
