// The update run: what pressing "Update" does, and what `qvupdate --batch`
// does without a window. Connect, read the pack, push firmware, voice and
// language (each tried up to five times), write the configuration options,
// close, and report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/device.h"
#include "core/hooks.h"
#include "core/pack.h"

namespace qvupdate {

// Report texts. Scripts match them, so they stay exactly as they are
// (the misspelt "fali" included).
namespace text {
inline constexpr std::string_view kFirmwareFail = "Update firmware fail!";
inline constexpr std::string_view kFirmwareOk = "Update firmware successfully!";
inline constexpr std::string_view kVoiceFail = "Update voice fail!";
inline constexpr std::string_view kVoiceOk = "Update voice successfully!";
inline constexpr std::string_view kLanguageFail = "Update language fail!";
inline constexpr std::string_view kLanguageOk = "Update Language successfully!";
inline constexpr std::string_view kConfigFail = "Update config fali";
inline constexpr std::string_view kConfigOk = "Update config successfully!";
inline constexpr std::string_view kWrongPack = "Please select the right pack that it is from qv!";
}  // namespace text

// CMD_UPDATE section codes and values.
inline constexpr std::uint32_t kFirmwareCode = 2;
inline constexpr std::uint32_t kFirmwareValue = 0xA0000000;
inline constexpr std::uint32_t kVoiceCode = 8;
inline constexpr std::uint32_t kLanguageCode = 3;
inline constexpr std::uint32_t kLinuxLanguageCode = 10;

inline constexpr int kSectionTries = 5;
inline constexpr int kRetryPauseMs = 1000;

enum class UpdateEnd {
    NoConnection,  // the open failed: the windows say so in a message box
    NoFile,        // the pack file does not exist: nothing shown
    BadPack,       // unreadable, short or overflowing: `error` says why
    Refused,       // kind or flags out of range: text::kWrongPack
    Done,          // sections applied (or none): `messages` is the report
};

struct UpdateReport {
    UpdateEnd end = UpdateEnd::Done;
    std::vector<std::string> messages;  // one per applied section, in order
    bool failed = false;                // at least one applied section failed
    std::string error;                  // BadPack: what is wrong with the file

    // The report as the dialog shows it: each message followed by LF and CR.
    std::string Text() const;
};

UpdateReport RunUpdate(const Link& link, const std::string& packPath, const Hooks& hooks);

}  // namespace qvupdate
