// Device control and maintenance transfers against the simulated terminal:
// firmware installed and reported after reconnecting, files pushed and pulled
// back unchanged, a restart that ends the connection, clearing by table.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"
#include "portmux.h"
#include "termsim/model.h"

namespace {

e2e::HarnessOptions NoLines() {
    e2e::HarnessOptions o;
    o.ptys = 0;
    return o;
}

class Folder {
  public:
    Folder() {
        char tmpl[] = "/tmp/tldevXXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~Folder() {
        if (std::system(("rm -rf '" + path_ + "'").c_str()) != 0) std::perror("rm");
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::string path_;
};

// The firmware text of an image: version line, length, checksum (RFC 1071,
// computed here on its own), then 40 bytes per data line with CR LF ends.
std::string FirmwareText(const std::string& versionLine, const std::vector<std::uint8_t>& image) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2)
        sum += image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    std::string t = versionLine + "\r\nFirmwareLength=" + std::to_string(image.size()) +
                    "\r\nFirmwareCheckSum=" + std::to_string(~sum & 0xFFFF) + "\r\n";
    char hex[3];
    for (std::size_t i = 0, k = 0; i < image.size(); ++k) {
        t += "Data" + std::to_string(k) + "=";
        for (std::size_t end = std::min(image.size(), i + 40); i < end; ++i) {
            std::snprintf(hex, sizeof hex, "%02x", image[i]);
            t += hex;
        }
        t += "\r\n";
    }
    return t;
}

std::string Version(TL_HANDLE h) {
    char text[64] = {};
    return TL_GetFirmwareVersion(h, text) == 1 ? text : "";
}

TEST(DeviceMaintenance, NewerFirmwareIsInstalledAndAnEqualOneNeverSent) {
    termsim::Model model;  // classic: "Ver 6.60 Apr 15 2011", no "~OS"
    e2e::SimTerminal sim(model, NoLines());
    Folder dir;
    std::vector<std::uint8_t> body(5000);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 7);
    const auto image = termsim::FirmwareImage("Ver 6.61 Jun 01 2012", body);

    TL_HANDLE h = sim.ConnectNet();
    ASSERT_NE(h, nullptr);
    const std::string same =
        dir.Write("same.txt", FirmwareText("FirmwareVersion=Ver 6.60 Apr 15 2011", image));
    const auto before = sim.Transport().Executed();
    EXPECT_EQ(TL_UpdateFirmware(h, same.c_str()), 4);
    EXPECT_EQ(sim.Transport().Executed(), before);  // nothing reached the terminal
    const std::string newer =
        dir.Write("new.txt", FirmwareText("FirmwareVersion=Ver 6.61 Jun 01 2012", image));
    EXPECT_EQ(TL_UpdateFirmware(h, newer.c_str()), 1);
    EXPECT_EQ(model.InstalledData(2), image);
    TL_Close(h);

    h = sim.ConnectNet();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Version(h), "Ver 6.61 Jun 01 2012");
    // The same file is now not newer than the terminal.
    EXPECT_EQ(TL_UpdateFirmware(h, newer.c_str()), 4);
    TL_Close(h);
}

TEST(DeviceMaintenance, FilesComeBackAsTheyWereSent) {
    termsim::Model model;
    e2e::SimTerminal sim(model, NoLines());
    Folder dir;
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<char>(i * 31 + (i >> 8)));
    const std::string path = dir.Write("chime.wav", bytes);
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(TL_SendFile(h, path.c_str()), 1);
    EXPECT_TRUE(model.Enabled());  // unlocked again after the transfer
    ASSERT_EQ(TL_ReadFile(h, "chime.wav", (dir.File("back") + "-").c_str()), 1);
    EXPECT_EQ(Folder::Read(dir.File("back-chime.wav")), bytes);
    EXPECT_EQ(TL_ReadFile(h, "missing.wav", (dir.File("")).c_str()), -2);
    // Language texts are kept by the terminal.
    ASSERT_EQ(TL_UpdateLanguageByID(h, 3, "Bienvenue"), 1);
    const auto installs = model.Installs();
    ASSERT_FALSE(installs.empty());
    EXPECT_EQ(installs.back().code, 1701u);
    EXPECT_EQ(installs.back().value, 3u);
    EXPECT_EQ(installs.back().name, "Bienvenue");
    TL_Close(h);
}

TEST(DeviceMaintenance, RestartEndsTheConnection) {
    termsim::Model model;
    e2e::SimTerminal sim(model, NoLines());
    // A transport kept open across the restart is no longer served.
    PMX_HANDLE raw = PMX_INIT("tcpwire.dll", sim.Address(), sim.Port(), 0, 0, 0, 0, 0);
    ASSERT_NE(raw, nullptr);
    int word = 1004;
    PMX_SENDCMD(raw, &word, nullptr, 0, 0, 3000);
    EXPECT_EQ(word & 0xFFFF, REPLY_OK);
    char version[64] = {};
    word = 1100;
    PMX_SENDCMD(raw, &word, version, sizeof version, 0, 1000);
    EXPECT_NE(word & 0xFFFF, REPLY_OK);
    PMX_CLOSE(raw);
    EXPECT_EQ(model.GetPanel().restarts, 1);

    // Through the library: the session is released and a new one works.
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(TL_RebootDevice(h), 1);
    EXPECT_EQ(model.GetPanel().restarts, 2);
    h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Version(h), model.Version());
    TL_Close(h);
}

TEST(DeviceMaintenance, ClearingByKindEmptiesOnlyThatTable) {
    termsim::Model model;
    termsim::GenerateParams plan;
    plan.users = 8;
    plan.punches = 40;
    plan.opRecords = 10;
    model.Generate(plan);
    e2e::SimTerminal sim(model, NoLines());
    Folder dir;
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    // The raw user table goes to a file without the transport's prefix.
    const std::string users = dir.File("users.dat");
    ASSERT_EQ(TL_GetData(h, 5, users.c_str()), 1);
    EXPECT_EQ(Folder::Read(users).size(), 8u * static_cast<std::size_t>(model.UserRecordSize()));

    EXPECT_EQ(TL_ClearDataEx(h, 1), 1);
    EXPECT_TRUE(model.Punches().empty());
    EXPECT_EQ(model.Users().size(), 8u);
    EXPECT_FALSE(model.OpLog().empty());
    EXPECT_EQ(TL_ClearDataEx(h, 4), 1);
    EXPECT_TRUE(model.OpLog().empty());
    EXPECT_EQ(model.Users().size(), 8u);
    EXPECT_EQ(TL_ClearDataEx(h, 5), 1);
    EXPECT_TRUE(model.Users().empty());
    // An empty table is nothing received.
    EXPECT_EQ(TL_GetData(h, 5, users.c_str()), 0);
    TL_Close(h);
}

}  // namespace
