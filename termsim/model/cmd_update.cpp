// CMD_UPDATE and the other pushed data: firmware images built in the
// simulator's own form, checked and adopted; files, languages and voices
// recorded, batches and restores handed to their own code; files read back by
// name.
#include <algorithm>

#include "internal.h"

namespace termsim {

namespace {

// A firmware image in the simulator's own form ("TSFW", u16 sum of every
// byte after it, the version text and a NUL, the body) is checked and, when
// sound, becomes the terminal's firmware: its version is what the terminal
// answers from then on. A broken image of that form is refused. Images in
// any other form are kept without a check and change nothing.
bool ApplyFirmware(Model::State& s, le::Bytes image) {
    if (image.size() < 4 || !std::equal(image.begin(), image.begin() + 4, "TSFW")) return true;
    if (image.size() < 8) return false;
    std::uint16_t sum = 0;
    for (std::size_t i = 6; i < image.size(); ++i) sum = static_cast<std::uint16_t>(sum + image[i]);
    if (le::U16(image, 4) != sum) return false;
    const std::string version = le::Text(image, 6, image.size() - 6);
    if (version.size() + 7 > image.size() || version.rfind("Ver ", 0) != 0) return false;
    s.SetVersion(version);
    return true;
}

Response Update(Model::State& s, const Call& c) {
    if (c.request.size() < 8) return Error();
    Install in;
    in.code = le::U32(c.request, 0);
    in.value = le::U32(c.request, 4);
    switch (in.code) {
        case 12: {
            Response r = ApplyBatch(s, c.data);
            if (r.reply == kReplyOk) s.installs.push_back(Install{12, in.value, {}, {}});
            return r;
        }
        case 1700:  // a file: its base name follows in a 40-byte block
            in.name = le::Text(c.request, 4, 40);
            in.value = 0;
            if (in.name.empty()) return Error();
            break;
        case 2:  // firmware
            if (in.value != 0xA0000000u) return Error();
            if (!ApplyFirmware(s, c.data)) return Error();
            break;
        case 3:   // language of terminals whose "~OS" is not "LINUX"
        case 10:  // language of "LINUX" terminals
            if ((in.code == 10) != s.IsLinux()) return Error();
            break;
        case 7:  // restore: the pushed backup replaces the data
            if (in.value != 0x80000 || !ApplyRestore(s, c.data)) return Error();
            break;
        case 8:  // voice
            break;
        default:
            return Error();
    }
    if (c.data.empty()) return Error();
    in.data.assign(c.data.begin(), c.data.end());
    s.installs.push_back(std::move(in));
    return Ok();
}

// A language text: u32 language id, then the text in a 100-byte block.
Response UpdateLanguage(Model::State& s, const Call& c) {
    if (c.request.size() < 5) return Error();
    const std::string text = le::Text(c.request, 4, c.request.size() - 4);
    if (text.empty()) return Error();
    s.installs.push_back(Install{1701, le::U32(c.request, 0), text, {}});
    return Ok();
}

// Reading a file back: the last file pushed under that name.
Response ReadFile(Model::State& s, const Call& c) {
    const std::string name = le::Text(c.request, 0, c.request.size());
    for (auto it = s.installs.rbegin(); it != s.installs.rend(); ++it)
        if (it->code == 1700 && it->name == name && !name.empty()) return Ok(it->data);
    return Error();
}

}  // namespace

std::vector<std::uint8_t> FirmwareImage(const std::string& version,
                                        const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> image;
    image.reserve(7 + version.size() + body.size());
    for (char c : std::string("TSFW\0\0", 6) + version)
        image.push_back(static_cast<std::uint8_t>(c));
    image.push_back(0);
    for (std::uint8_t b : body) image.push_back(b);
    std::uint16_t sum = 0;
    for (std::size_t i = 6; i < image.size(); ++i) sum = static_cast<std::uint16_t>(sum + image[i]);
    image[4] = static_cast<std::uint8_t>(sum & 0xFF);
    image[5] = static_cast<std::uint8_t>(sum >> 8);
    return image;
}

void RegisterUpdateCommands(CommandTable& t) {
    t[CMD_UPDATE] = Update;
    t[CMD_UPDATE_LANGUAGE] = UpdateLanguage;
    t[CMD_READ_FILE] = ReadFile;
}

}  // namespace termsim
