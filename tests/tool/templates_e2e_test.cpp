// Fingerprint templates, export and import end to end: the tool against
// simulated terminals of each kind, compared with what the terminals hold.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "../e2e/sample_templates.h"
#include "cli/app.h"
#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"
#include "tool_run.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;
using termsim::Profile;
using Bytes = std::vector<std::uint8_t>;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kCompany = 1000;  // the sanitizer build checks memory, not scale
#else
constexpr int kCompany = 5000;
#endif

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// "name,value" lines of a --csv record.
std::map<std::string, std::string> CsvRecord(const std::string& text) {
    std::map<std::string, std::string> m;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto comma = line.find(',');
        if (comma != std::string::npos) m[line.substr(0, comma)] = line.substr(comma + 1);
    }
    return m;
}

// A version-10 container: signature, big-endian length at bytes 8-9, body.
Bytes Container(std::uint32_t seed, std::size_t size) {
    Bytes c = e2e::SampleTemplate(seed, static_cast<int>(size / 5));
    c.resize(size);
    const char sig[] = "ICRS21";
    std::copy(sig, sig + 6, c.begin());
    c[8] = static_cast<std::uint8_t>(size >> 8);
    c[9] = static_cast<std::uint8_t>(size);
    return c;
}

class Terminal {
  public:
    Terminal(Profile profile, int users, std::uint64_t seed = 7) : model_(Config(profile)) {
        termsim::GenerateParams plan;
        plan.seed = seed;
        plan.users = users;
        plan.punches = 0;
        plan.opRecords = 0;
        model_.Generate(plan);
        termsim::ServeOptions o;
        o.udp = false;
        server_ = termsim::Serve(model_, o);
    }
    std::string where() const { return "127.0.0.1:" + std::to_string(server_->Port()); }
    termsim::Model& model() { return model_; }
    bool textIds() const { return model_.GetProfile() == Profile::Tft; }

    // The name people know a user by on this terminal.
    std::string Key(const termsim::User& u) const {
        return textIds() ? u.id : std::to_string(u.pin2 ? u.pin2 : u.pin);
    }

    // Two templates per user (finger 0, and finger 6 flagged on every third
    // user; on version-10 terminals a flagged container at finger 15) and a
    // face at index 0 for every fifth user.
    void Enrol(std::uint32_t seed) {
        const bool v10 = model_.GetProfile() == Profile::Fp10;
        int k = 0;
        for (const auto& u : model_.Users()) {
            const std::uint32_t s = seed + 2 * static_cast<std::uint32_t>(k);
            ASSERT_TRUE(model_.AddTemplate({u.pin, 0, 0, e2e::VariedTemplate(s)}));
            const std::uint8_t flag = k % 3 == 0 ? (v10 ? 2 : 1) : 0;
            if (v10)
                ASSERT_TRUE(model_.AddTemplate({u.pin, 15, flag, Container(s + 1, 300 + k % 50)}));
            else
                ASSERT_TRUE(model_.AddTemplate({u.pin, 6, flag, e2e::VariedTemplate(s + 1)}));
            if (k % 5 == 0) {
                ASSERT_TRUE(
                    model_.AddFace({u.pin, 0, Bytes(100 + k % 400, static_cast<std::uint8_t>(k))}));
            }
            ++k;
        }
    }

  private:
    static termsim::Config Config(Profile p) {
        termsim::Config c;
        c.profile = p;
        return c;
    }
    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
};

class TempDir {
  public:
    TempDir()
        : path_(fs::temp_directory_path() / ("termlink-templates-test-" + std::to_string(getpid()) +
                                             "-" + std::to_string(counter_++))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::string str() const { return path_.string(); }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

void WriteBytes(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// Checks that every user of `from` except `left` is on `to` with its
// templates (and, with `faces`, its faces) byte for byte.
void ExpectMoved(Terminal& from, Terminal& to, bool flagsTravel, bool faces,
                 const std::set<std::string>& left = {}) {
    std::map<std::string, termsim::User> target;
    for (const auto& u : to.model().Users()) target[to.Key(u)] = u;
    std::map<std::pair<int, int>, termsim::Template> tmpl;
    for (const auto& t : to.model().Templates()) tmpl[{t.pin, t.finger}] = t;
    std::map<std::pair<int, int>, Bytes> face;
    for (const auto& f : to.model().Faces()) face[{f.pin, f.index}] = f.data;
    std::map<int, std::string> keyOf;
    std::size_t moved = 0;
    for (const auto& u : from.model().Users()) {
        keyOf[u.pin] = from.Key(u);
        if (left.count(from.Key(u))) continue;
        ++moved;
        const auto it = target.find(from.Key(u));
        ASSERT_NE(it, target.end()) << from.Key(u);
        const std::size_t nameLimit = to.textIds() ? 24 : 8;
        EXPECT_EQ(it->second.name, u.name.substr(0, nameLimit));
        EXPECT_EQ(it->second.password, u.password);
        EXPECT_EQ(it->second.privilege, u.privilege) << from.Key(u);
        if (to.model().GetProfile() != Profile::Legacy) {
            EXPECT_EQ(it->second.card, u.card);
        }
    }
    EXPECT_EQ(target.size(), moved);
    std::size_t templates = 0;
    for (const auto& t : from.model().Templates()) {
        if (left.count(keyOf[t.pin])) continue;
        ++templates;
        const int pin = target[keyOf[t.pin]].pin;
        const auto it = tmpl.find({pin, t.finger});
        ASSERT_NE(it, tmpl.end()) << keyOf[t.pin] << " finger " << int(t.finger);
        EXPECT_EQ(it->second.data, t.data) << keyOf[t.pin];
        EXPECT_EQ(it->second.flag, flagsTravel ? t.flag : 0) << keyOf[t.pin];
    }
    EXPECT_EQ(tmpl.size(), templates);
    if (!faces) return;
    for (const auto& f : from.model().Faces()) {
        if (left.count(keyOf[f.pin])) continue;
        EXPECT_EQ(face[std::make_pair(int(target[keyOf[f.pin]].pin), int(f.index))], f.data);
    }
}

int Batches(Terminal& t) {
    int n = 0;
    for (const auto& in : t.model().Installs()) n += in.code == 12;
    return n;
}

TEST(ToolTemplates, SetListGetMatchAndDeleteOnEveryKindOfTerminal) {
    for (Profile p : {Profile::Classic, Profile::Tft, Profile::Fp10, Profile::Legacy}) {
        SCOPED_TRACE(termsim::ProfileName(p));
        Terminal t(p, 5);
        const std::string where = t.where();
        const termsim::User user = t.model().Users().at(2);
        const std::string id = t.Key(user);
        TempDir dir;
        const Bytes tmpl = e2e::SampleTemplate(77, 50);
        WriteBytes(dir / "finger.tmpl", tmpl);
        // Version-10 terminals keep a flag only with containers.
        const int flag = p == Profile::Fp10 ? 0 : 1;
        Result r = Tool({"--tcp", where, "template", "set", id, "3", dir / "finger.tmpl", "--flag",
                         std::to_string(flag)});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        ASSERT_EQ(t.model().Templates().size(), 1u);
        EXPECT_EQ(t.model().Templates()[0],
                  (termsim::Template{user.pin, 3, static_cast<std::uint8_t>(flag), tmpl}));

        r = Tool({"--tcp", where, "--csv", "templates"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_EQ(r.out, "user,finger,flag,size,layout\r\n" + id + ",3," + std::to_string(flag) +
                             ",255,C\r\n");

        r = Tool({"--tcp", where, "--csv", "template", "get", id, "3", "-o", dir / "back.tmpl"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_EQ(ReadBytes(dir / "back.tmpl"), tmpl);
        EXPECT_TRUE(Contains(r.out, "layout,C\r\n")) << r.out;
        r = Tool({"--tcp", where, "template", "get", id, "3", "-o", "-"});
        EXPECT_EQ(r.out, std::string(tmpl.begin(), tmpl.end()));

        r = Tool({"--tcp", where, "template", "match", dir / "finger.tmpl"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_EQ(r.out, "user: " + id + "\n");

        // Refusals before anything is sent.
        WriteBytes(dir / "junk.tmpl", Bytes(40, 0x11));
        EXPECT_EQ(Tool({"--tcp", where, "template", "set", id, "4", dir / "junk.tmpl"}).code,
                  kExitUsage);
        WriteBytes(dir / "box.tmpl", Container(5, 300));
        r = Tool({"--tcp", where, "template", "set", id, "15", dir / "box.tmpl", "--flag", "2"});
        if (p == Profile::Fp10) {
            ASSERT_EQ(r.code, kExitOk) << r.err;
            EXPECT_EQ(t.model().Templates().at(1),
                      (termsim::Template{user.pin, 15, 2, Container(5, 300)}));
            r = Tool({"--tcp", where, "template", "get", id, "15"});
            EXPECT_TRUE(Contains(r.out, "layout: container")) << r.out;
            ASSERT_EQ(Tool({"--tcp", where, "template", "delete", id, "15"}).code, kExitOk);
        } else {
            EXPECT_EQ(r.code, kExitUnsupported) << r.err;
        }
        r = Tool({"--tcp", where, "template", "set", t.textIds() ? "nobody" : "4321", "3",
                  dir / "finger.tmpl"});
        EXPECT_EQ(r.code, kExitNotFound) << r.err;
        EXPECT_EQ(t.model().Templates().size(), 1u);

        r = Tool({"--tcp", where, "template", "delete", id, "3"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_TRUE(t.model().Templates().empty());
        EXPECT_EQ(Tool({"--tcp", where, "template", "delete", id, "3"}).code, kExitNotFound);
        EXPECT_EQ(Tool({"--tcp", where, "template", "get", id, "3"}).code, kExitNotFound);
        EXPECT_EQ(Tool({"--tcp", where, "template", "match", dir / "finger.tmpl"}).code,
                  kExitNotFound);
    }
}

TEST(ToolTransfer, TwoCommandsMoveACompanyToAnotherKindOfTerminal) {
    // A text-ID terminal's company to a numeric one: the IDs are numbers.
    Terminal from(Profile::Tft, kCompany, 11);
    from.Enrol(1000);
    Terminal to(Profile::Classic, 0);
    TempDir dir;
    Result r = Tool({"--tcp", from.where(), "--csv", "export", dir.str()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    auto rec = CsvRecord(r.out);
    EXPECT_EQ(rec["users"], std::to_string(kCompany));
    EXPECT_EQ(rec["templates"], std::to_string(2 * kCompany));
    EXPECT_EQ(rec["faces"], "");  // not asked for
    EXPECT_TRUE(Contains(r.err, "Faces were not exported")) << r.err;

    r = Tool({"--tcp", to.where(), "--csv", "import", dir.str()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    rec = CsvRecord(r.out);
    EXPECT_EQ(rec["users_added"], std::to_string(kCompany));
    EXPECT_EQ(rec["templates_written"], std::to_string(2 * kCompany));
    EXPECT_EQ(rec["batches"], "1");
    EXPECT_EQ(Batches(to), 1);
    EXPECT_TRUE(Contains(r.err, "name(s) were cut")) << r.err;
    EXPECT_TRUE(to.model().Enabled());  // the batch disables the terminal; import enables it
    ExpectMoved(from, to, true, false);
}

TEST(ToolTransfer, WhatDoesNotFitStopsTheImportUnlessSkipped) {
    struct Case {
        Profile from, to;
        const char* problem;  // listed when refused; empty: nothing refused
        const char* note;     // said on a successful import
        bool flagsTravel;
    };
    const Case cases[] = {
        // Numeric cards above 32 bits have no place on text-ID terminals.
        {Profile::Classic, Profile::Tft, "a card number too large", "", true},
        // Containers go only to version-10 terminals.
        {Profile::Fp10, Profile::Classic, "a version-10 container", "", true},
        // Old terminals: numbers up to 65534, one command at a time, no cards.
        {Profile::Classic, Profile::Legacy, "not a user number 1-65534", "", true},
        // Standard templates lose their flag on version-10 terminals.
        {Profile::Classic, Profile::Fp10, "", "template flag(s) were dropped", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(termsim::ProfileName(c.from)) + " to " +
                     termsim::ProfileName(c.to));
        Terminal from(c.from, 20, 5);
        if (c.to == Profile::Legacy) {
            for (std::uint16_t pin : {21, 22}) {
                termsim::User u;
                u.pin = pin;
                u.pin2 = pin * 30u;
                u.id = std::to_string(u.pin2);
                u.name = "Small";
                ASSERT_TRUE(from.model().AddUser(u));
            }
        }
        from.Enrol(300);
        Terminal to(c.to, 0);
        TempDir dir;
        ASSERT_EQ(Tool({"--tcp", from.where(), "export", dir.str(), "--faces", "0"}).code, kExitOk);

        std::set<std::string> left;
        if (*c.problem) {
            Result r = Tool({"--tcp", to.where(), "import", dir.str()});
            EXPECT_EQ(r.code, kExitUsage);
            EXPECT_TRUE(Contains(r.err, c.problem)) << r.err;
            EXPECT_TRUE(Contains(r.err, "nothing was sent")) << r.err;
            EXPECT_TRUE(to.model().Users().empty());
            r = Tool({"--tcp", to.where(), "--csv", "import", dir.str(), "--skip"});
            ASSERT_EQ(r.code, kExitOk) << r.err;
            auto rec = CsvRecord(r.out);
            EXPECT_EQ(rec["batches"], c.to == Profile::Legacy ? "0" : "1");
            // Whoever was refused is named in a note.
            std::istringstream notes(r.err);
            for (std::string line; std::getline(notes, line);) {
                const std::string head = "skipped user ";
                if (line.rfind(head, 0) != 0 || Contains(line, ", finger ")) continue;
                left.insert(line.substr(head.size(), line.find(':') - head.size()));
            }
            EXPECT_EQ(std::to_string(left.size()), rec["users_skipped"]);
            EXPECT_GT(std::stoi(rec["users_skipped"]) + std::stoi(rec["templates_skipped"]), 0);
        } else {
            Result r = Tool({"--tcp", to.where(), "import", dir.str()});
            ASSERT_EQ(r.code, kExitOk) << r.err;
            EXPECT_TRUE(Contains(r.err, c.note)) << r.err;
        }
        if (c.from == Profile::Fp10) {
            // Every user moves; of the templates only the standard ones.
            EXPECT_EQ(to.model().Users().size(), from.model().Users().size());
            for (const auto& t : to.model().Templates()) EXPECT_EQ(t.finger, 0);
            EXPECT_EQ(to.model().Templates().size(), from.model().Users().size());
        } else {
            ExpectMoved(from, to, c.flagsTravel, c.to != Profile::Legacy, left);
        }
    }
}

TEST(ToolTransfer, TextIdsLongerThanTheUserNumberWidthNeverTravelCut) {
    // The simulated text-ID terminal's width is 9: a longer ID is read back
    // cut, so it is neither exported nor imported.
    Terminal t(Profile::Tft, 3);
    termsim::User u;
    u.pin = 50;
    u.id = "EMPLOYEE-0042";
    u.name = "Long Id";
    ASSERT_TRUE(t.model().AddUser(u));
    TempDir dir;
    Result r = Tool({"--tcp", t.where(), "export", dir.str()});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Contains(r.err, "user EMPLOYEE-...: the terminal holds IDs longer")) << r.err;

    Terminal from(Profile::Classic, 0);
    termsim::User wide;
    wide.pin = 1;
    wide.pin2 = 1234567890;
    wide.id = "1234567890";
    ASSERT_TRUE(from.model().AddUser(wide));
    ASSERT_EQ(Tool({"--tcp", from.where(), "export", dir / "wide"}).code, kExitOk);
    r = Tool({"--tcp", t.where(), "import", dir / "wide"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(Contains(r.err, "user 1234567890: an ID longer than 9 characters")) << r.err;
}

TEST(ToolTransfer, ImportKeepsWhatIsThereUnlessOverwriting) {
    Terminal from(Profile::Classic, 20, 9);
    from.Enrol(500);
    Terminal to(Profile::Classic, 20, 9);  // the same people
    const termsim::User first = to.model().Users().at(0);
    const Bytes own = e2e::SampleTemplate(4242, 40);
    ASSERT_TRUE(to.model().AddTemplate({first.pin, 0, 0, own}));
    ASSERT_TRUE(to.model().AddFace({first.pin, 0, Bytes(10, 1)}));
    TempDir dir;
    ASSERT_EQ(Tool({"--tcp", from.where(), "export", dir.str(), "--faces", "0"}).code, kExitOk);
    // An export never writes over a folder.
    EXPECT_EQ(Tool({"--tcp", from.where(), "export", dir.str()}).code, kExitFile);

    Result r = Tool({"--tcp", to.where(), "--csv", "import", dir.str()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    auto rec = CsvRecord(r.out);
    EXPECT_EQ(rec["users_kept"], "20");
    EXPECT_EQ(rec["templates_kept"], "1");
    EXPECT_EQ(rec["templates_written"], "39");
    EXPECT_EQ(rec["faces_kept"], "1");
    for (const auto& t : to.model().Templates())
        if (t.pin == first.pin && t.finger == 0) {
            EXPECT_EQ(t.data, own);
        }
    EXPECT_EQ(to.model().Templates().size(), 40u);

    r = Tool({"--tcp", to.where(), "--csv", "import", dir.str(), "--overwrite"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    rec = CsvRecord(r.out);
    EXPECT_EQ(rec["users_updated"], "20");
    EXPECT_EQ(rec["templates_written"], "40");
    EXPECT_EQ(rec["faces_written"], "4");
    ExpectMoved(from, to, true, true);
}

}  // namespace
}  // namespace tlcli
