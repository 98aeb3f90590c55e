// `termlink-sync status`: the terminals table as a readable table, CSV,
// JSON or one self-contained HTML page.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "client/format.h"
#include "sync_types.h"

namespace tlsync {

// Milliseconds since 1970 as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcText(Millis ms);

// A terminal's state in one word, as status shows it.
std::string TerminalState(const TerminalStatus& s, Millis now);

void WriteStatus(std::ostream& out, const std::vector<TerminalStatus>& rows,
                 tlclient::Format format, Millis now);
// A page that needs nothing else: styles inline, no scripts.
void WriteStatusHtml(std::ostream& out, const std::vector<TerminalStatus>& rows, Millis now);

}  // namespace tlsync
