// The tool's own reading of a firmware text file, for checking one offline
// (`termlink firmware check`) and for saying why the library refused one.
// The library has no export for this, so the tool reads the file by the same
// rules the library applies before sending (docs/firmware.md): version lines
// before the length and checksum, data lines Data0, Data1, ... in order, a
// line with a non-digit pair yields nothing, the image must be exactly the
// length and its RFC 1071 checksum must match. It does not compare versions:
// that needs the terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlcli {

struct FirmwareCheck {
    bool ok = false;
    std::string problem;          // why not, when !ok
    std::string version;          // as in the file; empty when there is none
    bool forOsTerminals = false;  // "PLT300_FirmwareVersion=" rather than "FirmwareVersion="
    long long length = 0;
    long long declaredChecksum = 0;
    long long decoded = 0;       // image bytes the data lines gave
    std::uint16_t checksum = 0;  // of the image, when complete
    std::string badLine;         // the first data line that yielded nothing: "Data4 (line 7)"
};

FirmwareCheck CheckFirmwareText(std::string_view text);

}  // namespace tlcli
