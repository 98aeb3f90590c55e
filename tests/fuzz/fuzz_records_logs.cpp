// Log iteration over arbitrary terminal bytes: the downloaded tables (log,
// operation log, user table for the PIN2 mapping) and their leading counts
// come from the fuzzer, and every reader is walked to its end.
#include <cstdint>
#include <cstring>

#include "records/bulk_read.h"
#include "records/log_iter.h"
#include "records_fuzz_transport.h"
#include "session/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    recfuzz::Current() = {data, size};
    auto* s = new tl::DeviceSession();
    static int transport;
    s->transport = &transport;
    const std::uint8_t flags = recfuzz::Current().Byte();
    std::strcpy(s->firmwareVersion, (flags & 1) ? "Ver 6.60 20110415" : "Ver 5.04 20050101");
    s->extendFmt = (flags >> 1) & 1;
    s->extendOpLog = (flags >> 2) & 1;
    s->pinWidth = static_cast<std::int8_t>(recfuzz::Current().Byte());
    s->lastLogTime = 0xFFFFFF00u;

    // Each reader runs until it stops delivering; a bound keeps a download
    // that keeps failing from looping forever.
    const int reader = (flags >> 3) & 3;
    for (int i = 0; i < 100000; ++i) {
        int r = 0;
        switch (reader) {
            case 0: {
                tl::AttRecord rec;
                r = tl::NextAttRecord(*s, &rec);
                break;
            }
            case 1: {
                char id[130];
                tl::AttRecord rec;
                r = tl::NextSsrAttRecord(*s, (flags & 0x20) ? id : nullptr, &rec);
                break;
            }
            case 2: {
                tl::OpRecord rec;
                r = tl::NextOpRecord(*s, &rec);
                break;
            }
            default: {
                tl::SsrOpRecord rec;
                r = tl::NextSsrOpRecord(*s, &rec);
                char text[40];
                if (r == 1) tl::FormatOpLogTime(rec.time, text, sizeof text);
                break;
            }
        }
        if (r == 0 || (r != 1 && recfuzz::Current().size == 0)) break;
        // Some rounds read another table into the shared buffer mid-walk.
        if ((flags & 0x40) && (i & 7) == 3) tl::ReadTempData(*s);
    }
    tl::CloseSession(s);
    return 0;
}
