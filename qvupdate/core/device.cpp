#include "core/device.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qvupdate {
namespace {

std::string Trim(const std::string& s) {
    auto first =
        std::find_if_not(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c); });
    auto last = std::find_if_not(s.rbegin(), s.rend(), [](unsigned char c) {
                    return std::isspace(c);
                }).base();
    return first < last ? std::string(first, last) : std::string();
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) p[b] = static_cast<std::uint8_t>(v >> (8 * b));
}

}  // namespace

Link LinkFromFields(const std::string& address, int port, int baud) {
    Link link;
    link.address = Trim(address);
    std::transform(link.address.begin(), link.address.end(), link.address.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    link.kind = link.address.rfind("COM", 0) == 0 ? Link::Kind::Serial : Link::Kind::Network;
    link.port = port;
    link.baud = baud;
    return link;
}

bool ConnectDevice(const Link& link, Device& device) {
    device = Device{};
    if (link.kind == Link::Kind::Serial)
        device.handle =
            PMX_INIT("serwire.dll", link.address.c_str(), link.port, link.baud, 0, 0, 0, 0);
    else
        device.handle = PMX_INIT("netwire.dll", link.address.c_str(), link.port, 0, 0, 0, 0, 0);
    if (!device.handle) return false;
    device.os = ReadDeviceOption(device.handle, "~OS");
    device.scramble = device.os.empty() || device.os == "NONE";
    return true;
}

void CloseDevice(Device& device) {
    if (device.handle) PMX_CLOSE(device.handle);
    device.handle = nullptr;
}

std::string ReadDeviceOption(PMX_HANDLE handle, const std::string& name) {
    // The name and its NUL travel in a zeroed 200-byte buffer that also takes
    // the answer "name=value".
    if (name.size() + 1 > static_cast<std::size_t>(kOptionReadBuffer)) return {};
    char buffer[kOptionReadBuffer + 1] = {};
    std::memcpy(buffer, name.data(), name.size());
    int command = kCmdGetOption;
    PMX_SENDCMD(handle, &command, buffer, kOptionReadBuffer, static_cast<int>(name.size()) + 1,
                kOptionReadTimeoutMs);
    if (!ReplyIsOk(command)) return {};
    // buffer[200] stays 0, so the answer is always terminated.
    return std::string(buffer + name.size() + 1);
}

std::string ScrambleOptionLine(const std::string& name, const std::string& value,
                               std::uint8_t key) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = name + "=";
    auto put = [&](std::uint8_t b) {
        out.push_back(hex[b >> 4]);
        out.push_back(hex[b & 15]);
    };
    put(key);
    for (char c : value) {
        key = static_cast<std::uint8_t>(key ^ static_cast<std::uint8_t>(c));
        put(key);
    }
    return out;
}

bool WriteDeviceOption(PMX_HANDLE handle, const std::string& line, bool scramble,
                       const Hooks& hooks) {
    const auto eq = line.find('=');
    const bool named = eq != std::string::npos && eq > 0;
    if (named) {
        const std::string name = line.substr(0, eq), value = line.substr(eq + 1);
        if (ReadDeviceOption(handle, name) == value) return true;
    }
    std::string text = line;
    if (named && scramble && line[0] == '~') {
        int k = hooks.random ? hooks.random() % 255 : 0;  // 0..254
        if (k < 0) k = -k;
        if (k == 0) k = 192;
        text = ScrambleOptionLine(line.substr(0, eq), line.substr(eq + 1),
                                  static_cast<std::uint8_t>(k));
        if (text.size() > kMaxScrambledLine) return false;
    }
    // The buffer holds the text and its NUL, and at least the 100 bytes the
    // answer may use.
    std::vector<char> buffer(std::max<std::size_t>(text.size() + 1, kOptionWriteBuffer), 0);
    std::memcpy(buffer.data(), text.data(), text.size());
    int command = kCmdSetOption;
    PMX_SENDCMD(handle, &command, buffer.data(), kOptionWriteBuffer,
                static_cast<int>(text.size()) + 1, kOptionWriteTimeoutMs);
    return ReplyIsOk(command);
}

int SetOptions(Device& device, const std::vector<std::string>& lines, const Hooks& hooks) {
    int result = static_cast<int>(lines.size());
    for (const auto& line : lines) {
        if (!WriteDeviceOption(device.handle, line, device.scramble, hooks) &&
            !WriteDeviceOption(device.handle, line, device.scramble, hooks))
            --result;
        hooks.Sleep(100);
    }
    return result;
}

bool SendDataToDevice(Device& device, std::span<const std::uint8_t> data, std::uint32_t code,
                      std::uint32_t value) {
    std::uint8_t request[8];
    PutU32(request, code);
    PutU32(request + 4, value);
    device.command = kCmdUpdate;
    PMX_SENDCMDDATA(device.handle, &device.command, data.data(), static_cast<int>(data.size()),
                    request, sizeof request, kSectionTimeoutMs);
    return ReplyIsOk(device.command);
}

}  // namespace qvupdate
