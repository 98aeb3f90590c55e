// Connecting and closing, and the calls about the connection itself: the
// transport's last error, real-time events, enabling the terminal.
#include "hostile/caller.h"

namespace hostile {

void Connect(Ctx& c) {
    static const char* const kNames[] = {"TL_Connect_NET", "TL_Connect_NETEX", "TL_Connect_USB",
                                         "TL_Connect_COM"};
    static const char* const kPlugins[] = {"netwire.dll", "tcpwire.dll", "usbwire.dll",
                                           "serwire.dll"};
    Program& P = c.P;
    const int kind = P.Small(4);
    const int before = c.term.OpenCount();
    bool mayOpen = true;
    TL_HANDLE h = nullptr;
    const auto address = P.OneIn(16) ? nullptr : InText(P.OneIn(4) ? P.Text(20) : "192.168.1.201");
    const int port = P.Pick({4370, 0, 65535, -1});
    const int i1 = P.Int(), i2 = P.Int(), i3 = P.Int();
    switch (kind) {
        case 0:
            h = TL_Connect_NET(Ptr(address), port, i1, i2, i3);
            break;
        case 1:
            h = TL_Connect_NETEX(Ptr(address), port, i1, i2, i3);
            break;
        case 2:
            h = TL_Connect_USB(port, i1, i2, i3);
            break;
        default: {
            const int baud = P.Pick({115200, 9600, 38400, 0, 1, -9600});
            mayOpen = baud != 0;
            const auto init = P.OneIn(2) ? nullptr : InText(P.Text(30));
            h = TL_Connect_COM(Ptr(address), P.Int(), baud, i1, i2, i3, Ptr(init));
            break;
        }
    }
    if (std::getenv("TL_FUZZ_TRACE"))
        std::fprintf(stderr, "%s -> %s\n", kNames[kind], h ? "session" : "null");
    const int now = c.term.OpenCount();
    if (!mayOpen && (h || now != before)) Fail(kNames[kind], "baud 0 opened a transport");
    if (!h && now != before) Fail(kNames[kind], "a failed connect left its transport open");
    if (h && (now != before + 1 || c.term.LastPlugin() != kPlugins[kind]))
        Fail(kNames[kind], "connected without opening its own plug-in");
    c.h = h;
}

void Close(Ctx& c) {
    c.term.StartCall();
    if (!c.h) {
        Check(c, "TL_Close", TL_Close(nullptr));
        return;
    }
    const int before = c.term.OpenCount();
    if (TL_Close(c.h) != 1) Fail("TL_Close", "did not give 1");
    if (c.term.OpenCount() != before - 1) Fail("TL_Close", "did not close its transport");
    c.h = nullptr;
}

namespace {

const Call kCalls[] = {
    // -- connection, events, lock
    {"reconnect",
     [](Ctx& c) {
         Close(c);
         Connect(c);
     }},
    {"TL_LastError",
     [](Ctx& c) {
         if (TL_LastError() != c.term.lastError)
             Fail("TL_LastError", "does not pass the transport's error through");
     }},
    {"TL_RegEvent",
     [](Ctx& c) {
         Check(c, "TL_RegEvent", TL_RegEvent(c.h, c.P.Int())).Results({1, -2});
     }},
    {"TL_ReadRTLog",
     [](Ctx& c) {
         NoArgs(c, "TL_ReadRTLog", TL_ReadRTLog, {1, -2, -100, 101});
     }},
    {"TL_GetRTLog",
     [](Ctx& c) {
         Buf kind(4, c.P.OneIn(8)), data(36, c.P.OneIn(8));
         for (int i = 0; i < kMaxRecords; ++i) {
             kind.Reset();
             data.Reset();
             const int r = TL_GetRTLog(c.h, kind.ints(), data.bytes());
             Check(c, "TL_GetRTLog", r).Results({1, 0}).Kept({&kind, &data}).IntIn(kind, 0, 65535);
             if (r != 1) break;
         }
     }},
    {"TL_EnableDevice",
     [](Ctx& c) {
         NoArgs(c, "TL_EnableDevice", TL_EnableDevice, {1, -2});
     }},
    {"TL_DisableDevice",
     [](Ctx& c) {
         Check(c, "TL_DisableDevice", TL_DisableDevice(c.h, c.P.Int())).Results({1, -2});
     }},
};

}  // namespace

std::span<const Call> SessionCalls() {
    return kCalls;
}

}  // namespace hostile
