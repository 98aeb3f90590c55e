// The tool's text rule over any bytes, read as the terminal's GB18030 text
// and as typed UTF-8: a conversion either succeeds whole or names a byte
// inside the input; typed text written as GB18030 reads back the same, and
// terminal text read as UTF-8 can be written again (not always as the same
// bytes: a few characters have both a two- and a four-byte form).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/gb_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    const auto read = tlcli::FromGb18030(in);
    if (!read.text && (read.offset >= size || read.problem.empty())) std::abort();
    if (read.text) {
        const auto back = tlcli::ToGb18030(*read.text);
        if (!back.text) std::abort();
    }
    const auto written = tlcli::ToGb18030(in);
    if (!written.text && (written.offset >= size || written.problem.empty())) std::abort();
    if (written.text) {
        const auto back = tlcli::FromGb18030(*written.text);
        if (!back.text || *back.text != in) std::abort();
    }
    return 0;
}
