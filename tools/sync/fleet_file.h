// The fleet file: one terminal per line.
//
//   # name        connection            options
//   front-door    udp:10.0.4.21         key=1234
//   warehouse     tcp:10.0.9.3:4370
//   gate          com:/dev/ttyS0:115200:3
//
// Fields are separated by spaces or tabs; "#" starts a comment; blank lines
// are ignored. Names are unique and may contain anything but whitespace.
// The only option is key=N, the communication key (0 when absent).
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "sync_types.h"

namespace tlsync {

struct FleetParse {
    std::vector<FleetEntry> entries;
    std::vector<std::string> errors;  // "line N: what is wrong"; such lines are skipped
};

FleetParse ParseFleet(std::istream& in);

}  // namespace tlsync
