// termlink-sync's fleet file: any text gives entries and line errors, never
// a crash; every entry kept has a connection that parses.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fleet_file.h"
#include "terminal_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const auto parsed = tlsync::ParseFleet(in);
    for (const auto& e : parsed.entries) {
        std::string error;
        if (e.name.empty() || !tlsync::ParseEndpoint(e.connection, &error) || e.key < 0)
            std::abort();
    }
    return 0;
}
