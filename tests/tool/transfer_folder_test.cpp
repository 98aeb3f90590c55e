// The export folder without a terminal: CSV reading, names of data files,
// template layouts, and a folder written and read back byte for byte, with
// the damage a reader must refuse.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "cli/errors.h"
#include "cli/transfer_folder.h"

namespace tlcli {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

TEST(TransferFolder, CsvFieldsLinesAndQuotes) {
    struct Case {
        const char* text;
        Rows rows;
    };
    const Case cases[] = {
        {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}},
        {"a,b\n1,2", {{"a", "b"}, {"1", "2"}}},  // LF, no final line end
        {"x,\"y, z\",\"say \"\"hi\"\"\"\n", {{"x", "y, z", "say \"hi\""}}},
        {"\"two\r\nlines\",b\r\n", {{"two\r\nlines", "b"}}},
        {",,\n", {{"", "", ""}}},
        {"a\n\n\r\nb\n", {{"a"}, {"b"}}},  // blank lines are no rows
        {"\"\"\n", {{""}}},                // one empty quoted field is a row
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Rows rows;
        std::string error;
        ASSERT_TRUE(ParseCsv(c.text, rows, &error)) << error;
        EXPECT_EQ(rows, c.rows);
    }
    Rows rows;
    std::string error;
    EXPECT_FALSE(ParseCsv("a,b\n\"open,c\n", rows, &error));
    EXPECT_EQ(error, "line 2: a quote is never closed");
}

TEST(TransferFolder, LayoutsAndFileNames) {
    const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> layouts = {
        {{0x2A, 0x43, 0, 0}, "A"},
        {{0x05, 0xCA, 0, 0}, "B"},
        {{0xA1, 0xCA, 0, 0}, "C"},
        {{0xBF, 0xCA, 0, 0}, "C"},
        {{'I', 'C', 'R', 'S', '2', '1', 0, 0, 0, 12, 0, 0}, "container"},
        {{'I', 'C', 'R', 'S', '2', '1', 0, 0, 0, 13, 0, 0}, "unknown"},  // length disagrees
        {{0x00}, "unknown"},
    };
    for (const auto& [bytes, name] : layouts)
        EXPECT_EQ(TemplateLayout(bytes.data(), bytes.size()), name) << name;
    EXPECT_EQ(FileNamePart("1042"), "1042");
    EXPECT_EQ(FileNamePart("A-b_9"), "A-b_9");
    EXPECT_EQ(FileNamePart("../x y%\xE9"), "%2E%2E%2Fx%20y%25%E9");
}

class TransferFolderFiles : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("termlink-folder-test-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static Folder Sample() {
        Folder f;
        f.source = {"Ver 6.60 Jun 30 2014", true, 9, 24, "0-1"};
        FolderUser a;
        a.user = "Ann/1 %";
        a.name = "Ann, \"the\"\r\nfirst \xB5";  // comma, quotes, line break, 8-bit byte
        a.password = "1234";
        a.privilege = 3;
        a.card = 4294967295ULL;
        a.group = 12;
        a.followsGroup = false;
        a.zones = {2, 0, 7, 0};
        FolderUser b;
        b.user = "1000";
        b.enabled = false;
        FolderUser c;
        c.user = "1001";
        c.followsGroup = false;  // a list of its own without zones
        f.users = {a, b, c};
        f.templates = {{a.user, 0, 1, {0xA1, 0xCA, 1, 2, 3}}, {b.user, 9, 0, {0, 0, 255}}};
        f.faces = {{a.user, 50, std::vector<std::uint8_t>(1000, 7)}};
        return f;
    }

    fs::path dir_;
};

TEST_F(TransferFolderFiles, WrittenAndReadBackByteForByte) {
    const Folder f = Sample();
    WriteFolder(dir_.string(), f);
    EXPECT_EQ(fs::status(dir_).permissions() & fs::perms::all, fs::perms::owner_all);
    const Folder back = ReadFolder(dir_.string());
    EXPECT_EQ(back.users, f.users);
    EXPECT_EQ(back.templates, f.templates);
    EXPECT_EQ(back.faces, f.faces);
    EXPECT_EQ(back.source.firmware, f.source.firmware);
    EXPECT_TRUE(back.source.textIds);
    EXPECT_EQ(back.source.faceIndexes, "0-1");
    EXPECT_TRUE(fs::exists(dir_ / "templates" / "Ann%2F1%20%25-0.tmpl"));

    // A folder is never written over.
    try {
        WriteFolder(dir_.string(), f);
        ADD_FAILURE() << "wrote into a folder that is not empty";
    } catch (const ToolError& e) {
        EXPECT_EQ(e.exitCode(), kExitFile);
    }
}

TEST_F(TransferFolderFiles, DamageIsRefusedNamingFileAndRow) {
    auto replace = [](const fs::path& p, const std::string& from, const std::string& to) {
        std::ifstream in(p, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    };
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"newer format",
         [&](const fs::path& d) {
             replace(d / "termlink-export.txt", "termlink-export 1", "termlink-export 2");
         },
         "format 2; this termlink reads format 1"},
        {"file outside the folder",
         [&](const fs::path& d) { replace(d / "templates.csv", "templates/1000-9", "../1000-9"); },
         "templates.csv, row 2: file: not a path inside the folder"},
        {"template file changed",
         [&](const fs::path& d) {
             std::ofstream(d / "templates" / "1000-9.tmpl", std::ios::binary) << "xx";
         },
         "templates.csv, row 2: the template file's size differs"},
        {"user listed twice",
         [&](const fs::path& d) { replace(d / "users.csv", "\r\n1001,", "\r\n1000,"); },
         "users.csv, row 3: user 1000 is listed twice"},
        {"privilege out of range",
         [&](const fs::path& d) { replace(d / "users.csv", "1000,,,0,", "1000,,,4,"); },
         "users.csv, row 2: privilege:"},
        {"template of no user",
         [&](const fs::path& d) { replace(d / "templates.csv", "\r\n1000,9", "\r\n1002,9"); },
         "templates.csv, row 2: user 1002 is not in users.csv"},
        {"a row lost",
         [&](const fs::path& d) {
             std::ofstream(d / "faces.csv", std::ios::trunc) << "user,index,size,file\r\n";
         },
         "lists 1 faces, the folder holds 0"},
        {"missing column", [&](const fs::path& d) { replace(d / "users.csv", ",zones", ",zone"); },
         "users.csv: no column 'zones'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        WriteFolder(dir_.string(), Sample());
        c.damage(dir_);
        try {
            ReadFolder(dir_.string());
            ADD_FAILURE() << "accepted";
        } catch (const ToolError& e) {
            EXPECT_EQ(e.exitCode(), kExitFile);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tlcli
