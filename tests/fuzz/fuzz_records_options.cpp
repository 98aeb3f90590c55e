// Option replies, status counters, clock and version replies from arbitrary
// terminal bytes: nothing may be read beyond what the terminal sent.
#include <cstdint>
#include <cstring>
#include <string>

#include "config/device_info.h"
#include "config/identity.h"
#include "config/options.h"
#include "records_fuzz_transport.h"
#include "session/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    recfuzz::Current() = {data, size};
    auto* s = new tl::DeviceSession();
    static int transport;
    s->transport = &transport;
    std::strcpy(s->firmwareVersion, "Ver 6.60 20110415");
    s->hasOSOption = recfuzz::Current().Byte() & 1;

    while (recfuzz::Current().size > 0) {
        const std::uint8_t op = recfuzz::Current().Byte();
        std::int32_t value = 0;
        char text[128];
        switch (op % 9) {
            case 0: {
                std::string v;
                tl::GetOptionText(*s, "~SerialNumber", &v);
                break;
            }
            case 1:
                tl::GetDeviceInfo(*s, 2 + op % 68, &value);
                break;
            case 2:
                tl::GetDeviceStrInfo(*s, 1 + op % 69, text);
                break;
            case 3: {
                std::memset(text, 0, sizeof text);
                std::strcpy(text, "IPAddress");
                tl::GetDeviceInfo(*s, tl::kInfoRawOption, reinterpret_cast<std::int32_t*>(text));
                break;
            }
            case 4:
                tl::GetDeviceStatus(*s, 1 + op % 22, &value);
                break;
            case 5: {
                std::int32_t t[6];
                tl::GetTime(*s, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
                break;
            }
            case 6:
                tl::GetFirmwareVersion(*s, text);
                break;
            case 7:
                tl::GetPinWidth(*s, &value);
                break;
            default:
                tl::GetOptionTextOr(*s, "~DeviceName", "Clockara I", text);
                break;
        }
    }
    tl::CloseSession(s);
    return 0;
}
