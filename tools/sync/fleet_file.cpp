#include "fleet_file.h"

#include <cstdlib>
#include <set>
#include <sstream>

#include "terminal_link.h"

namespace tlsync {

FleetParse ParseFleet(std::istream& in) {
    FleetParse out;
    std::set<std::string> names;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;) f.push_back(w);
        if (f.empty()) continue;
        auto fail = [&](const std::string& why) {
            out.errors.push_back("line " + std::to_string(number) + ": " + why);
        };
        if (f.size() < 2) {
            fail("expected NAME CONNECTION [key=N]");
            continue;
        }
        FleetEntry e{f[0], f[1], 0};
        std::string error;
        if (!ParseEndpoint(e.connection, &error)) {
            fail(error);
            continue;
        }
        bool ok = true;
        for (std::size_t i = 2; i < f.size() && ok; ++i) {
            const std::string& opt = f[i];
            char* end = nullptr;
            const long long key = opt.rfind("key=", 0) == 0 && opt.size() > 4
                                      ? std::strtoll(opt.c_str() + 4, &end, 10)
                                      : -1;
            if (key < 0 || key > 0x7FFFFFFF || (end && *end)) {
                fail("unknown option '" + opt + "' (the only option is key=N)");
                ok = false;
            } else {
                e.key = static_cast<int>(key);
            }
        }
        if (!ok) continue;
        if (!names.insert(e.name).second) {
            fail("terminal '" + e.name + "' is listed twice");
            continue;
        }
        out.entries.push_back(std::move(e));
    }
    return out;
}

}  // namespace tlsync
