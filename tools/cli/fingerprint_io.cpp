#include "cli/fingerprint_io.h"

#include <algorithm>
#include <cstring>

#include "cli/errors.h"

using namespace tlclient;

namespace tlcli {

namespace {

constexpr std::size_t kTemplateBuffer = 65536;  // the largest container is 32768 bytes
constexpr std::size_t kFaceBuffer = 131072 + 4;

// The library reads a standard template as far as its layout reaches (up to
// 16588 bytes for the older layouts) and a container as far as its length
// field says (up to 32768): the bytes go into a zero-filled area that long.
std::vector<std::uint8_t> PaddedTemplate(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> buf(std::max<std::size_t>(data.size(), 32768), 0);
    std::copy(data.begin(), data.end(), buf.begin());
    return buf;
}

int Number(const std::string& id) {
    std::string error;
    const auto v = ParseInt(id, 1, 2147483647, &error);
    if (!v) throw UsageError("user " + id + ": " + error);
    return static_cast<int>(*v);
}

}  // namespace

BioTraits ReadBioTraits(TL_HANDLE h) {
    BioTraits t;
    t.terminal = ReadTraits(h);
    char value[128] = {};
    if (TL_GetSysOption(h, "~QVFPVersion", value) == 1) {
        std::string error;
        if (auto v = ParseInt(std::string(value, strnlen(value, 100)), 0, 255, &error))
            t.fingerprintVersion = static_cast<int>(*v);
    }
    return t;
}

std::vector<int> ListedFingers(const BioTraits& traits) {
    std::vector<int> fingers = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    if (traits.fingerprintVersion == 10) fingers.push_back(15);
    return fingers;
}

std::vector<TerminalUser> ReadAllUsers(const Context& ctx, TL_HANDLE h, const BioTraits& traits) {
    std::vector<TerminalUser> users;
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the user table");
        r = TL_ReadUserInfo(h);
    }
    if (r == 0) return users;
    Check(r, "downloading the user table");
    Progress p = ctx.MakeProgress("reading users");
    for (;;) {
        if (g_interrupted) throw ToolError(kExitInterrupted, "interrupted");
        UserRecord rec;
        r = NextUserRecord(h, traits.terminal, &rec);
        if (r != 1) break;
        TerminalUser t;
        FolderUser& u = t.user;
        u.name = rec.name;
        u.password = rec.password;
        const int* tz = rec.zones;
        if (traits.terminal.textIds) {
            u.user = rec.id;
            u.card = static_cast<unsigned int>(rec.textCard);
            u.followsGroup = !(tz[0] || tz[1] || tz[2] || tz[3]);
            if (!u.followsGroup) u.zones = {tz[0], tz[1], tz[2], tz[3]};
        } else {
            u.user = std::to_string(rec.pin2 && !traits.terminal.legacy ? rec.pin2 : rec.pin);
            if (!traits.terminal.legacy) {
                // Older terminals keep no cards, groups or zones.
                u.card = CardValue(rec.card);
                u.followsGroup = tz[0] == -1;
                for (int i = 0; i < 3 && !u.followsGroup && tz[i] > 0; ++i)
                    u.zones.push_back(tz[i]);
            }
        }
        t.pin = rec.pin;
        u.privilege = rec.privilege;
        u.enabled = rec.enabled != 0;
        u.group = traits.terminal.legacy ? 0 : rec.group;
        users.push_back(std::move(t));
        p.Update(static_cast<long long>(users.size()));
    }
    if (r != 0) Check(r, "reading the user table");
    // Text IDs come out cut to the terminal's user-number width: an ID that
    // fills it may be the cut form of a longer one, which would then be
    // saved under the wrong ID and without its templates.
    const int width = traits.terminal.pinWidth;
    if (traits.terminal.textIds && width < 24) {
        for (const auto& t : users) {
            if (static_cast<int>(t.user.user.size()) < width) continue;
            r = SSR_TL_QueryUserInfo(h, t.user.user.c_str(), nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
            if (r == 0)
                throw ToolError(kExitFailed, "user " + t.user.user +
                                                 "...: the terminal holds IDs longer than " +
                                                 "its user-number width (" + std::to_string(width) +
                                                 "), which cannot be read in full");
            Check(r, "looking up user " + t.user.user);
        }
    }
    return users;
}

std::vector<FolderTemplate> ReadAllTemplates(const Context& ctx, TL_HANDLE h,
                                             const BioTraits& traits,
                                             const std::vector<TerminalUser>& users) {
    std::vector<FolderTemplate> out;
    if (users.empty()) return out;
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the template table");
        r = TL_ReadTempData(h);
    }
    if (r == 0) return out;
    Check(r, "downloading the template table");
    // The public API has no walk over the template table: each user and
    // finger is looked up in the downloaded table (no exchange per lookup).
    const std::vector<int> fingers = ListedFingers(traits);
    std::vector<std::uint8_t> buf(kTemplateBuffer);
    Progress p = ctx.MakeProgress("looking up templates");
    long long done = 0;
    for (const auto& tu : users) {
        if (g_interrupted) throw ToolError(kExitInterrupted, "interrupted");
        for (int finger : fingers) {
            int flag = 0, length = static_cast<int>(buf.size());
            const int q =
                TL_QueryUserTempEx(h, tu.user.user.c_str(), finger, &flag, buf.data(), &length);
            if (q == 0) continue;
            Check(q, "looking up finger " + std::to_string(finger) + " of user " + tu.user.user);
            if (length <= 0 || length > static_cast<int>(buf.size())) continue;
            FolderTemplate t;
            t.user = tu.user.user;
            t.finger = finger;
            t.flag = flag & 0xFF;
            t.data.assign(buf.begin(), buf.begin() + length);
            out.push_back(std::move(t));
        }
        p.Update(++done);
    }
    return out;
}

std::vector<std::uint8_t> ReadFace(TL_HANDLE h, const std::string& user, int index) {
    std::vector<std::uint8_t> buf(kFaceBuffer);
    int length = static_cast<int>(buf.size());
    const auto id = IdField(user);
    const int r = TL_GetUserFace(h, id.data(), index, buf.data(), &length);
    if (r == 0) return {};
    Check(r, "reading face " + std::to_string(index) + " of user " + user);
    if (length < 4) return {};
    const std::size_t size =
        buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<std::size_t>(buf[3]) << 24;
    if (size > static_cast<std::size_t>(length) - 4)
        throw ToolError(kExitFailed, "reading face " + std::to_string(index) + " of user " + user +
                                         ": the answer is shorter than the face it announces");
    return std::vector<std::uint8_t>(buf.begin() + 4, buf.begin() + 4 + static_cast<long>(size));
}

std::vector<FolderFace> ReadAllFaces(const Context& ctx, TL_HANDLE h,
                                     const std::vector<TerminalUser>& users,
                                     const std::vector<int>& indexes) {
    std::vector<FolderFace> out;
    Progress p = ctx.MakeProgress("reading faces");
    long long done = 0;
    for (const auto& tu : users) {
        if (g_interrupted) throw ToolError(kExitInterrupted, "interrupted");
        for (int index : indexes) {
            auto data = ReadFace(h, tu.user.user, index);
            if (!data.empty()) out.push_back(FolderFace{tu.user.user, index, std::move(data)});
        }
        p.Update(++done);
    }
    return out;
}

bool UserExists(const Context& ctx, TL_HANDLE h, const BioTraits& traits, const std::string& id) {
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the user table");
        r = TL_ReadUserInfo(h);
    }
    if (r == 0) return false;
    Check(r, "downloading the user table");
    if (traits.terminal.textIds) {
        r = SSR_TL_QueryUserInfo(h, id.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
        if (r == 0) return false;
        Check(r, "looking up user " + id);
        return true;
    }
    const int number = Number(id);
    if (traits.terminal.legacy) {
        if (number > 65534) return false;
        int priv = 0, enabled = 0, group = 0, tz[4] = {0, 0, 0, 0}, pin2 = 0;
        char name[32] = {}, password[16] = {};
        unsigned char card[5] = {};
        r = TL_QueryUserInfo(h, number, name, &priv, &enabled, password, card, &pin2, &group, tz);
        if (r == 0) return false;
        Check(r, "looking up user " + id);
        return true;
    }
    r = TL_QueryUserByPIN2(h, number);
    if (r < 0) Check(r, "looking up user " + id);
    return r > 0;
}

std::array<char, 24> IdField(const std::string& id) {
    std::array<char, 24> field{};
    std::memcpy(field.data(), id.data(), std::min(id.size(), field.size()));
    return field;
}

bool FlagTravels(const BioTraits& traits, const std::vector<std::uint8_t>& data) {
    return TemplateLayout(data.data(), data.size()) == "container" ||
           traits.fingerprintVersion != 10;
}

int WriteTemplate(TL_HANDLE h, const BioTraits& traits, const std::string& user, int finger,
                  int flag, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> buf = PaddedTemplate(data);
    const bool container = TemplateLayout(data.data(), data.size()) == "container";
    if (container || (flag != 0 && traits.fingerprintVersion != 10))
        return TL_SetUserTmpEx(h, user.c_str(), finger, flag, buf.data());
    if (traits.terminal.textIds) {
        const auto id = IdField(user);
        return SSR_TL_SetUserTmpExt(h, 0, id.data(), finger, buf.data());
    }
    return TL_SetUserTmp(h, Number(user), finger, buf.data());
}

std::vector<int> ParseIndexes(const std::string& text) {
    std::vector<int> out;
    if (text == "all") {
        for (int i = 0; i < 256; ++i) out.push_back(i);
        return out;
    }
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        const std::string part = text.substr(start, comma - start);
        const auto dash = part.find('-');
        std::string error;
        const auto lo = ParseInt(part.substr(0, dash), 0, 255, &error);
        if (!lo) throw UsageError("face index " + error);
        auto hi = lo;
        if (dash != std::string::npos) {
            hi = ParseInt(part.substr(dash + 1), *lo, 255, &error);
            if (!hi) throw UsageError("face index range " + part + ": " + error);
        }
        for (long long i = *lo; i <= *hi; ++i)
            if (std::find(out.begin(), out.end(), i) == out.end())
                out.push_back(static_cast<int>(i));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

}  // namespace tlcli
