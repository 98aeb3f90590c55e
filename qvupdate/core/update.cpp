#include "core/update.h"

#include "core/pack_line.h"

namespace qvupdate {
namespace {

// Pushes one section, trying up to five times with a pause after each failure.
bool SendWithRetries(Device& device, const std::vector<std::uint8_t>& data, std::uint32_t code,
                     std::uint32_t value, const char* what, const Hooks& hooks) {
    int tries = 0;
    while (true) {
        hooks.Note(std::string("sending ") + what + " (try " + std::to_string(tries + 1) + ")");
        if (SendDataToDevice(device, data, code, value)) break;
        hooks.Pump();
        hooks.Sleep(kRetryPauseMs);
        if (++tries == kSectionTries) break;
    }
    return tries < kSectionTries;
}

}  // namespace

std::string UpdateReport::Text() const {
    std::string out;
    for (const auto& m : messages) out += m + "\n\r";
    return out;
}

UpdateReport RunUpdate(const Link& link, const std::string& packPath, const Hooks& hooks) {
    UpdateReport report;
    if (hooks.flushArp) hooks.flushArp();
    hooks.Note("connecting");
    Device device;
    if (!ConnectDevice(link, device)) {
        report.end = UpdateEnd::NoConnection;
        return report;
    }
    PackRead read = ReadPackFile(packPath);
    if (read.error != PackError::None) {
        CloseDevice(device);
        report.end = read.error == PackError::Missing ? UpdateEnd::NoFile : UpdateEnd::BadPack;
        report.error = read.message;
        return report;
    }
    const Pack& pack = read.pack;
    if (!pack.Accepted()) {
        CloseDevice(device);
        report.end = UpdateEnd::Refused;
        return report;
    }

    auto record = [&](bool ok, std::string_view good, std::string_view bad) {
        report.messages.emplace_back(ok ? good : bad);
        report.failed = report.failed || !ok;
    };
    if (pack.Applies(kFirmware))
        record(SendWithRetries(device, pack.sections[kFirmware], kFirmwareCode, kFirmwareValue,
                               "firmware", hooks),
               text::kFirmwareOk, text::kFirmwareFail);
    if (pack.Applies(kVoice))
        record(SendWithRetries(device, pack.sections[kVoice], kVoiceCode, 0, "voice", hooks),
               text::kVoiceOk, text::kVoiceFail);
    if (pack.Applies(kLanguage)) {
        const std::uint32_t code =
            ReadDeviceOption(device.handle, "~OS") == "LINUX" ? kLinuxLanguageCode : kLanguageCode;
        record(SendWithRetries(device, pack.sections[kLanguage], code, 0, "language", hooks),
               text::kLanguageOk, text::kLanguageFail);
    }
    if (pack.Applies(kConfig)) {
        hooks.Note("writing options");
        const auto& raw = pack.sections[kConfig];
        std::vector<std::string> lines;
        for (const auto& l : SplitPackLines(
                 std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size())))
            lines.push_back(DecodePackLine(l));
        const int ok = SetOptions(device, lines, hooks);
        record(ok == static_cast<int>(lines.size()), text::kConfigOk, text::kConfigFail);
    }
    CloseDevice(device);
    report.end = UpdateEnd::Done;
    return report;
}

}  // namespace qvupdate
