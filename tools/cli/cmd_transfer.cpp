// Moving users with their fingerprint templates and faces between terminals:
// export DIR, import DIR.
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "cli/app.h"
#include "cli/errors.h"
#include "cli/fingerprint_io.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

int Export(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1) throw UsageError("usage: export DIR [--faces INDEXES]");
    std::vector<int> faceIndexes;
    if (auto v = ctx.args.Value("--faces")) faceIndexes = ParseIndexes(*v);
    CheckFolderFree(pos[0]);
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    Folder f;
    f.source.firmware = traits.terminal.firmware;
    f.source.textIds = traits.terminal.textIds;
    f.source.fingerprintVersion = traits.fingerprintVersion;
    f.source.pinWidth = traits.terminal.pinWidth;
    f.source.faceIndexes = ctx.args.Get("--faces", "");
    const auto users = ReadAllUsers(ctx, h, traits);
    f.templates = ReadAllTemplates(ctx, h, traits, users);
    if (!faceIndexes.empty()) f.faces = ReadAllFaces(ctx, h, users, faceIndexes);
    for (const auto& u : users) f.users.push_back(u.user);
    WriteFolder(pos[0], f);

    Fields s;
    s.Add("folder", Text(pos[0]));
    s.Add("users", Num(static_cast<long long>(f.users.size())));
    s.Add("templates", Num(static_cast<long long>(f.templates.size())));
    s.Add("faces", faceIndexes.empty() ? Null() : Num(static_cast<long long>(f.faces.size())));
    WriteFields(ctx.out, s, ctx.format());
    if (faceIndexes.empty())
        ctx.Note("Faces were not exported (give --faces INDEXES to include them).");
    return kExitOk;
}

// ---- import ----------------------------------------------------------------

// What one user of the folder becomes on this terminal.
struct PlannedUser {
    FolderUser user;  // with the ID and fields in this terminal's form
    bool exists = false;
    std::vector<const FolderTemplate*> templates;
    std::vector<const FolderFace*> faces;
};

struct Plan {
    std::vector<PlannedUser> users;
    std::vector<std::string> problems;  // what does not fit this terminal
    long long skippedUsers = 0, skippedTemplates = 0;
    long long namesCut = 0, flagsDropped = 0, fieldsLost = 0;
};

struct Limits {
    std::size_t name, password;
    long long maxNumber;  // the largest user number; text IDs: the longest ID
    unsigned long long maxCard;
    int maxGroup, zoneSlots, maxZone;
};

Limits LimitsOf(const BioTraits& t) {
    if (t.terminal.textIds) {
        // IDs are read back only up to the user-number width.
        const auto idLength = static_cast<long long>(std::clamp(t.terminal.pinWidth, 1, 24));
        return {24, 8, idLength, 0xFFFFFFFFULL, 255, 4, 65535};
    }
    long long maxNumber = 2147483647;
    if (t.terminal.legacy) {
        maxNumber = 65534;
    } else if (t.terminal.pinWidth < 10) {
        maxNumber = 1;
        for (int i = 0; i < t.terminal.pinWidth; ++i) maxNumber *= 10;
        --maxNumber;
    }
    return {8, 5, maxNumber, 0xFFFFFFFFFFULL, 15, 3, 63};
}

// The user in this terminal's form; an empty result means it does not fit,
// and *why says why.
std::optional<FolderUser> MapUser(const FolderUser& src, const BioTraits& target, Plan& plan,
                                  std::string* why) {
    const Limits lim = LimitsOf(target);
    auto no = [why](std::string reason) {
        *why = std::move(reason);
        return std::nullopt;
    };
    FolderUser u = src;
    if (target.terminal.textIds) {
        if (static_cast<long long>(u.user.size()) > lim.maxNumber)
            return no("an ID longer than " + std::to_string(lim.maxNumber) +
                      " characters (the terminal's user-number width)");
    } else {
        // A text ID becomes a user number when it is one, written plainly.
        std::string error;
        const auto n = ParseInt(u.user, 1, lim.maxNumber, &error);
        if (!n || std::to_string(*n) != u.user)
            return no("not a user number 1-" + std::to_string(lim.maxNumber));
    }
    if (u.password.size() > lim.password)
        return no("a password longer than " + std::to_string(lim.password) + " characters");
    if (u.name.size() > lim.name) {
        u.name.resize(lim.name);
        ++plan.namesCut;
    }
    if (target.terminal.legacy) {
        // These terminals keep no cards, groups or time zones.
        if (u.card || u.group || !u.followsGroup) ++plan.fieldsLost;
        u.card = 0;
        u.group = 0;
        u.followsGroup = true;
        u.zones.clear();
        return u;
    }
    if (u.card > lim.maxCard) return no("a card number too large");
    if (u.group > lim.maxGroup)
        return no("group " + std::to_string(u.group) + " (at most " + std::to_string(lim.maxGroup) +
                  ")");
    if (!u.followsGroup) {
        std::vector<int> zones;
        if (target.terminal.textIds) {
            zones = u.zones;
            zones.resize(4, 0);
        } else {
            // Numeric records hold up to three zones, none of them 0.
            for (int z : u.zones)
                if (z != 0) zones.push_back(z);
        }
        if (static_cast<int>(zones.size()) > lim.zoneSlots)
            return no("more than " + std::to_string(lim.zoneSlots) + " time zones");
        for (int z : zones)
            if (z > lim.maxZone)
                return no("time zone " + std::to_string(z) + " (at most " +
                          std::to_string(lim.maxZone) + ")");
        u.zones = zones;
    }
    return u;
}

// Why a template cannot go to this terminal, or empty.
std::string TemplateProblem(const FolderTemplate& t, const BioTraits& target, bool batched) {
    const std::string layout = TemplateLayout(t.data.data(), t.data.size());
    if (layout == "container") {
        if (target.fingerprintVersion != 10)
            return "a version-10 container; this terminal takes standard templates";
        const std::size_t len = static_cast<std::size_t>(t.data[8]) << 8 | t.data[9];
        if (len < 128) return "a container shorter than 128 bytes";
        if (batched && t.flag > 15) return "a flag above 15, which a batch cannot carry";
        return {};
    }
    // Normalising (as every write does) tells a usable standard template.
    std::vector<std::uint8_t> source(std::max<std::size_t>(t.data.size(), 32768), 0);
    std::copy(t.data.begin(), t.data.end(), source.begin());
    std::vector<std::uint8_t> normalised(2048);
    int length = 0;
    if (TL_FPTempConvertNew(source.data(), normalised.data(), &length) != 1)
        return "not a usable fingerprint template";
    if (batched && t.flag > 15 && target.fingerprintVersion != 10)
        return "a flag above 15, which a batch cannot carry";
    return {};
}

std::string UserForm(const BioTraits& t) {
    return t.terminal.textIds ? "text IDs" : "user numbers";
}

Plan MakePlan(const Folder& f, const BioTraits& target, bool batched, bool skip) {
    Plan plan;
    std::map<std::string, std::size_t> index;  // folder user -> plan entry
    std::set<std::string> ids;
    for (const auto& src : f.users) {
        std::string why;
        auto mapped = MapUser(src, target, plan, &why);
        if (mapped && !ids.insert(mapped->user).second) {
            mapped.reset();
            why = "the same user as another one on this terminal";
        }
        if (!mapped) {
            plan.problems.push_back("user " + src.user + ": " + why);
            ++plan.skippedUsers;
            continue;
        }
        index[src.user] = plan.users.size();
        plan.users.push_back(PlannedUser{std::move(*mapped), false, {}, {}});
    }
    for (const auto& t : f.templates) {
        const auto it = index.find(t.user);
        if (it == index.end()) {
            ++plan.skippedTemplates;
            continue;
        }
        const std::string why = TemplateProblem(t, target, batched);
        if (!why.empty()) {
            plan.problems.push_back("user " + t.user + ", finger " + std::to_string(t.finger) +
                                    ": " + why);
            ++plan.skippedTemplates;
            continue;
        }
        if (t.flag != 0 && !FlagTravels(target, t.data)) ++plan.flagsDropped;
        plan.users[it->second].templates.push_back(&t);
    }
    for (const auto& face : f.faces) {
        const auto it = index.find(face.user);
        if (it != index.end()) plan.users[it->second].faces.push_back(&face);
    }
    if (!plan.problems.empty() && !skip) {
        std::string msg = std::to_string(plan.problems.size()) +
                          " item(s) of the folder do not fit this terminal (" + UserForm(target) +
                          ", fingerprint version " + std::to_string(target.fingerprintVersion) +
                          "); nothing was sent. Give --skip to leave them out.";
        for (std::size_t i = 0; i < plan.problems.size() && i < 10; ++i)
            msg += "\n  " + plan.problems[i];
        if (plan.problems.size() > 10) msg += "\n  ...";
        throw ToolError(kExitUsage, msg);
    }
    return plan;
}

// The open batch, if any: cancelled unless committed.
class Batch {
  public:
    Batch(TL_HANDLE h, bool overwrite) : h_(h), overwrite_(overwrite) {}
    ~Batch() {
        if (open_) TL_CancelBatchUpdate(h_);
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // False when the terminal takes no batches (writes then go one by one).
    bool Begin() {
        const int r = TL_BeginBatchUpdate(h_, overwrite_ ? 1 : 0);
        if (r == -100) return false;
        Check(r, "starting a batch");
        open_ = true;
        return true;
    }
    bool open() const { return open_; }
    int commits() const { return commits_; }

    // Uploads and applies the batch. The upload leaves the terminal
    // disabled, so it is enabled again in every outcome.
    void Commit(const Context& ctx, long long writes) {
        int r;
        {
            Progress p =
                ctx.MakeProgress("sending " + std::to_string(writes) + " writes in one batch");
            r = TL_BatchUpdate(h_);
        }
        open_ = false;
        TL_EnableDevice(h_);
        if (r == 0) throw ToolError(kExitFailed, "the terminal refused to take the batch");
        Check(r, "sending the batch");
        ++commits_;
    }

    // A write queued; when the batch is full it is sent and the write goes
    // into a new one.
    template <typename Write>
    int Queue(const Context& ctx, long long& writes, Write write) {
        int r = write();
        if (r == -2 && open_ && writes > 0) {
            Commit(ctx, writes);
            writes = 0;
            if (!Begin()) throw ToolError(kExitFailed, "cannot start another batch");
            r = write();
        }
        if (r == 1) ++writes;
        return r;
    }

  private:
    TL_HANDLE h_;
    bool overwrite_;
    bool open_ = false;
    int commits_ = 0;
};

int WriteUser(TL_HANDLE h, const BioTraits& t, const FolderUser& u) {
    char name[32] = {}, password[16] = {};
    std::memcpy(name, u.name.data(), std::min<std::size_t>(u.name.size(), 24));
    std::memcpy(password, u.password.data(), std::min<std::size_t>(u.password.size(), 8));
    const int enabled = u.enabled ? 1 : 0;
    if (t.terminal.textIds) {
        int card = static_cast<int>(static_cast<unsigned int>(u.card));
        int zones[4] = {0, 0, 0, 0};
        for (std::size_t i = 0; i < u.zones.size() && i < 4; ++i) zones[i] = u.zones[i];
        return SSR_TL_SetUserInfo(h, u.user.c_str(), name, u.privilege, enabled, password, &card,
                                  u.group, zones);
    }
    const int number = std::stoi(u.user);
    if (t.terminal.legacy)
        return TL_SetUserInfo(h, number, name, u.privilege, enabled, password, nullptr, 0, 0,
                              nullptr);
    unsigned char card[5];
    for (int i = 0; i < 5; ++i) card[i] = static_cast<unsigned char>(u.card >> (8 * i));
    int zones[4] = {-1, 0, 0, 0};
    if (!u.followsGroup) {
        zones[0] = 0;
        for (std::size_t i = 0; i < u.zones.size() && i < 3; ++i) zones[i] = u.zones[i];
    }
    return TL_SetUserInfo(h, 0, name, u.privilege, enabled, password, card, number, u.group, zones);
}

struct Tally {
    long long usersAdded = 0, usersUpdated = 0, usersKept = 0;
    long long templatesWritten = 0, templatesKept = 0;
    long long facesWritten = 0, facesKept = 0;
};

int Import(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1) throw UsageError("usage: import DIR [--overwrite] [--skip]");
    const bool overwrite = ctx.args.Has("--overwrite");
    const Folder folder = ReadFolder(pos[0]);
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);

    // Opening a batch sends nothing; it tells whether the terminal takes one.
    Batch batch(h, overwrite);
    const bool batched = batch.Begin();
    Plan plan = MakePlan(folder, traits, batched, ctx.args.Has("--skip"));

    // What the terminal has already: users, and (unless overwriting) the
    // fingers and faces of those users that the folder would write.
    std::set<std::string> existing;
    for (const auto& u : ReadAllUsers(ctx, h, traits)) existing.insert(u.user.user);
    std::set<std::pair<std::string, int>> takenFingers, takenFaces;
    bool anyExisting = false;
    for (auto& pu : plan.users) anyExisting |= pu.exists = existing.count(pu.user.user) != 0;
    if (anyExisting && !overwrite) {
        int r;
        {
            Progress p = ctx.MakeProgress("downloading the template table");
            r = TL_ReadTempData(h);
        }
        if (r != 0) Check(r, "downloading the template table");
        std::vector<std::uint8_t> buf(65536);
        for (const auto& pu : plan.users) {
            if (!pu.exists) continue;
            for (const FolderTemplate* t : pu.templates) {
                int flag = 0, length = static_cast<int>(buf.size());
                if (r == 1 && TL_QueryUserTempEx(h, pu.user.user.c_str(), t->finger, &flag,
                                                 buf.data(), &length) == 1)
                    takenFingers.insert({pu.user.user, t->finger});
            }
            for (const FolderFace* face : pu.faces)
                if (!ReadFace(h, pu.user.user, face->index).empty())
                    takenFaces.insert({pu.user.user, face->index});
        }
    }
    if (!batched) ctx.Note("This terminal takes no batches: writing one command at a time.");

    Tally tally;
    long long writes = 0;  // in the open batch
    {
        Progress p = ctx.MakeProgress(batched ? "queueing users" : "writing users");
        long long done = 0;
        for (const auto& pu : plan.users) {
            if (g_interrupted)
                throw ToolError(kExitInterrupted, batched
                                                      ? "interrupted: the open batch was not sent"
                                                      : "interrupted");
            const std::string& id = pu.user.user;
            if (pu.exists && !overwrite) {
                ++tally.usersKept;
            } else {
                const int r =
                    batch.Queue(ctx, writes, [&] { return WriteUser(h, traits, pu.user); });
                if (r == -10)
                    throw ToolError(kExitFailed,
                                    "adding user " + id + ": the terminal has no free user number");
                Check(r, (pu.exists ? "updating user " : "adding user ") + id);
                ++(pu.exists ? tally.usersUpdated : tally.usersAdded);
            }
            for (const FolderTemplate* t : pu.templates) {
                if (takenFingers.count({id, t->finger})) {
                    ++tally.templatesKept;
                    continue;
                }
                const int flag = FlagTravels(traits, t->data) ? t->flag : 0;
                const int r = batch.Queue(ctx, writes, [&] {
                    return WriteTemplate(h, traits, id, t->finger, flag, t->data);
                });
                Check(r, "writing finger " + std::to_string(t->finger) + " of user " + id);
                ++tally.templatesWritten;
            }
            p.Update(++done);
        }
    }
    if (batch.open()) batch.Commit(ctx, writes);

    // Faces are never batched: one write each.
    {
        Progress p = ctx.MakeProgress("writing faces");
        for (const auto& pu : plan.users) {
            for (const FolderFace* face : pu.faces) {
                if (g_interrupted) throw ToolError(kExitInterrupted, "interrupted");
                if (takenFaces.count({pu.user.user, face->index})) {
                    ++tally.facesKept;
                    continue;
                }
                const auto id = IdField(pu.user.user);
                const int r = TL_SetUserFace(h, id.data(), face->index, face->data.data(),
                                             static_cast<int>(face->data.size()));
                if (r != 1)
                    throw ToolError(r == -2 ? kExitTimeout : kExitFailed,
                                    "writing face " + std::to_string(face->index) + " of user " +
                                        pu.user.user +
                                        ": the terminal refused or did not answer "
                                        "(users and templates were imported)");
                p.Update(++tally.facesWritten);
            }
        }
    }

    Fields s;
    s.Add("users_added", Num(tally.usersAdded));
    s.Add("users_updated", Num(tally.usersUpdated));
    s.Add("users_kept", Num(tally.usersKept));
    s.Add("templates_written", Num(tally.templatesWritten));
    s.Add("templates_kept", Num(tally.templatesKept));
    s.Add("faces_written", Num(tally.facesWritten));
    s.Add("faces_kept", Num(tally.facesKept));
    s.Add("users_skipped", Num(plan.skippedUsers));
    s.Add("templates_skipped", Num(plan.skippedTemplates));
    s.Add("batches", Num(batch.commits()));
    WriteFields(ctx.out, s, ctx.format());
    if (plan.namesCut)
        ctx.Note(std::to_string(plan.namesCut) + " name(s) were cut to this terminal's length.");
    if (plan.flagsDropped)
        ctx.Note(std::to_string(plan.flagsDropped) +
                 " template flag(s) were dropped: this terminal keeps flags only with "
                 "template containers.");
    if (plan.fieldsLost)
        ctx.Note(std::to_string(plan.fieldsLost) +
                 " user(s) lost their card, group or time zones: this terminal keeps none.");
    for (const auto& problem : plan.problems) ctx.Note("skipped " + problem);
    return kExitOk;
}

}  // namespace

void AddTransferCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"export",
         "DIR [--faces INDEXES]",
         "save users with their fingerprint templates (and faces) to a folder",
         "DIR must not exist or be empty; it is created readable by its owner only\n"
         "(it holds passwords). Every user and every template at fingers 0-9 (and\n"
         "15 on version-10 terminals) is saved. The terminal keeps no list of\n"
         "faces, so faces are saved only for the indexes given, each one exchange\n"
         "per user: --faces 0, --faces 0-9,50 or --faces all. docs/tool.md\n"
         "describes the folder.",
         {{"--faces", Arity::Value, "INDEXES", "also save the faces at these indexes"}},
         true,
         Export});
    commands.push_back(
        {"import",
         "DIR [--overwrite] [--skip]",
         "write the users, templates and faces of an exported folder to the terminal",
         "Users and templates go in one batch (terminals before Ver 5.11: one command\n"
         "each); faces follow one by one. Without --overwrite nothing the terminal\n"
         "already has changes: existing users, their templates at the same finger\n"
         "and their faces at the same index are kept. User numbers and text IDs\n"
         "are mapped between terminal kinds (docs/tool.md); anything that does not\n"
         "fit this terminal stops the import before anything is sent, unless --skip.",
         {{"--overwrite", Arity::None, "", "replace users, templates and faces already there"},
          {"--skip", Arity::None, "", "leave out what does not fit this terminal"}},
         true,
         Import});
}

}  // namespace tlcli
