// The firmware text reader on arbitrary text. The first byte picks the
// terminal the file is judged for (none, without or with "~OS"); the rest is
// the file. An accepted image has exactly the declared length and checksum;
// a rejected one hands out no bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "maintenance/firmware_file.h"
#include "portmux.h"

// The version normalisation lives beside the session code, which refers to
// the transport; no exchange ever happens here.
extern "C" {
void PMX_CLOSE(PMX_HANDLE) {}
int PMX_SENDCMD(PMX_HANDLE, int*, void*, int, int, int) {
    return -1;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const tl::FirmwareTarget targets[] = {{false, "Ver 6.60 20110415"},
                                          {true, "Ver 6.60 20110415"}};
    const tl::FirmwareTarget* target = data[0] % 3 == 0 ? nullptr : &targets[data[0] % 3 - 1];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const tl::FirmwareFile f = tl::ParseFirmware(text, target);
    if (f.verdict == tl::FirmwareVerdict::Ok) {
        if (f.length <= 0 || f.image.size() != static_cast<std::size_t>(f.length)) std::abort();
        if (tl::InternetChecksum(f.image.data(), f.image.size()) != f.declaredChecksum)
            std::abort();
        // Two characters of text per byte at least.
        if (f.image.size() > text.size() / 2) std::abort();
    } else if (!f.image.empty()) {
        std::abort();
    }
    if (f.version.size() >= tl::kFirmwareVersionArea) std::abort();
    return 0;
}
