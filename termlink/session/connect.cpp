#include "session/connect.h"

#include <cstring>
#include <new>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/realtime.h"
#include "session/transport.h"

namespace tl {
namespace {

enum class Kind { Net, NetEx, Usb, Com };

DeviceSession* NewSession() {
    auto* s = new (std::nothrow) DeviceSession();
    if (s) std::memcpy(s->firmwareVersion, "Ver 5.04", 9);
    return s;
}

bool UsableValue(const std::optional<std::string>& v) {
    return v && !v->empty() && *v != "NONE";
}

// Asks the terminal what it is. Fails only when the version is not answered.
bool Probe(DeviceSession& s, Kind kind) {
    CommandResult r =
        SendCommand(s.transport, CMD_GET_VERSION, s.firmwareVersion, 50, 0, s.cmdTimeout);
    if (!r.ok()) return false;
    // A reply shorter than the field without its own NUL still ends where the
    // terminal's bytes end; bytes 50 and 51 are never written by the transport.
    if (r.length > 0 && r.length < 50) s.firmwareVersion[r.length] = 0;
    s.firmwareVersion[50] = 0;
    s.firmwareVersion[51] = 0;
    NormalizeFirmwareVersion(s.firmwareVersion);

    auto os = ReadOption(s, "~OS");
    if (kind == Kind::Com)
        s.hasOSOption = (os && *os != "NONE") ? 1 : 0;
    else
        s.hasOSOption = UsableValue(os) ? 1 : 0;

    auto ext = ReadOption(s, "~ExtendFmt");
    s.extendFmt = ext ? ParseDecimal(*ext) : 0;

    if (kind == Kind::Net || kind == Kind::NetEx) {
        auto oplog = ReadOption(s, "ExtendOPLog");
        s.extendOpLog = oplog ? ParseDecimal(*oplog) : 0;
    }

    if (VersionCompare(s, "Ver 6.01") < 0) RegEvent(s, 0x7FFF);
    s.rtSequence = 0;

    auto platform = ReadOption(s, "~Platform");
    const bool tft = platform && platform->find("TFT") != std::string::npos;
    s.isTFT = tft ? 1 : 0;
    s.tftMessages = tft ? 1 : 0;
    s.rtLongRecord = (VersionCompare(s, "Ver 6.18 20070807") > 0 && !s.isTFT) ? 1 : 0;

    auto fp = ReadOption(s, "~QVFPVersion");
    s.fpVersion = UsableValue(fp) ? ParseDecimal(*fp) : 9;
    return true;
}

DeviceSession* Finish(DeviceSession* s, Kind kind) {
    if (!s->transport) {
        delete s;  // nothing was opened, so nothing to close
        return nullptr;
    }
    if (!Probe(*s, kind)) {
        CloseSession(s);
        return nullptr;
    }
    return s;
}

DeviceSession* ConnectNetwork(const char* plugin, Kind kind, int blockSize, const char* address,
                              int port, int i1, int i2, int i3) {
    DeviceSession* s = NewSession();
    if (!s) return nullptr;
    s->transport = PMX_INIT(plugin, address, port, 0, i1, i2, i3, 0);
    s->blockSize = blockSize;
    s->cmdTimeout = 4000;
    s->dataTimeout = 4000;
    return Finish(s, kind);
}

}  // namespace

DeviceSession* ConnectNet(const char* address, int port, int i1, int i2, int i3) {
    return ConnectNetwork("netwire.dll", Kind::Net, 16384, address, port, i1, i2, i3);
}

DeviceSession* ConnectNetEx(const char* address, int port, int i1, int i2, int i3) {
    return ConnectNetwork("tcpwire.dll", Kind::NetEx, 65472, address, port, i1, i2, i3);
}

DeviceSession* ConnectUsb(int port, int i1, int i2, int i3) {
    return ConnectNetwork("usbwire.dll", Kind::Usb, 1024, "", port, i1, i2, i3);
}

DeviceSession* ConnectCom(const char* portName, int portNumber, int baud, int i1, int i2, int i3,
                          const char* initText) {
    DeviceSession* s = NewSession();
    if (!s) return nullptr;
    s->blockSize = 4096;
    if (initText && initText[0]) {
        s->serialInitEx = 1;
        put_field_text(reinterpret_cast<std::uint8_t*>(s->serialInitText), sizeof s->serialInitText,
                       initText);
    }
    if (baud == 0) {
        delete s;
        return nullptr;
    }
    if (s->serialInitEx)
        s->transport =
            PMX_INITEX("serwire.dll", portName, portNumber, baud, i1, i2, i3, s->serialInitText);
    else
        s->transport = PMX_INIT("serwire.dll", portName, portNumber, baud, i1, i2, i3, 0);
    // Integer division first, as terminals and hosts expect: 9600 baud gives
    // 24000 / 36000 ms.
    const int unit = 115200000 / baud;
    s->cmdTimeout = 2 * unit;
    s->dataTimeout = 3 * unit;
    return Finish(s, Kind::Com);
}

}  // namespace tl
