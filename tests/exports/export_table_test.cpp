// The shared library's dynamic symbol table against the export table.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string exported, plain, convention;
    int args = 0;
};

std::vector<Entry> ReadTable() {
    std::ifstream in(TL_EXPORT_TABLE);
    std::vector<Entry> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Entry e;
        if (fields >> e.exported >> e.plain >> e.args >> e.convention) out.push_back(e);
    }
    return out;
}

std::string Shell(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
    return out;
}

const std::set<std::string> kCallerCleanup = {
    "TL_GetUserInfoEx",      "TL_SetUserInfoEx",     "TL_DeleteUserInfoEx",  "TL_BeginBatchUpdate",
    "TL_BatchUpdate",        "TL_CancelBatchUpdate", "TL_SendBackgroundCMD", "TL_LastError",
    "FRILEX_MERGE_TEMPLATE", "FRILEX_SPLIT_TEMPLATE"};

TEST(ExportTable, EntriesAreConsistent) {
    auto table = ReadTable();
    ASSERT_FALSE(table.empty());
    std::set<std::string> exported, plain;
    const std::regex decorated(R"(^_(\w+)@(\d+)$)");
    for (const auto& e : table) {
        SCOPED_TRACE(e.exported);
        EXPECT_TRUE(exported.insert(e.exported).second) << "listed twice";
        EXPECT_TRUE(plain.insert(e.plain).second) << "plain name listed twice";
        std::smatch m;
        if (std::regex_match(e.exported, m, decorated)) {
            EXPECT_EQ(m[1].str(), e.plain);
            EXPECT_EQ(std::stoi(m[2].str()), 4 * e.args) << "suffix is not 4 x argument count";
            EXPECT_EQ(e.convention, "stdcall") << "decorated names are standard-call names";
        } else {
            EXPECT_EQ(e.exported, e.plain);
        }
        EXPECT_EQ(e.convention, kCallerCleanup.count(e.plain) ? "cdecl" : "stdcall");
    }
}

TEST(ExportTable, LibraryExportsExactlyThePlainNames) {
    std::set<std::string> expected;
    for (const auto& e : ReadTable()) expected.insert(e.plain);
    std::string out = Shell(std::string("nm -D --defined-only '") + TL_LIBRARY + "'");
    ASSERT_FALSE(out.empty());
    std::set<std::string> actual;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream f(line);
        std::string addr, type, name;
        if (!(f >> addr >> type >> name)) continue;
        // Version-script node names show as absolute symbols; they are not exports.
        if (type == "A") continue;
        actual.insert(name);
    }
    EXPECT_EQ(actual, expected);
}

TEST(ExportTable, LibraryHasNoRpathAndNeedsPortmux) {
    std::string out = Shell(std::string("readelf -d '") + TL_LIBRARY + "'");
    EXPECT_EQ(out.find("(RPATH)"), std::string::npos);
    EXPECT_NE(out.find("[libportmux.so]"), std::string::npos);
    // No transport symbol is defined inside termlink itself.
    std::string defined = Shell(std::string("nm --defined-only '") + TL_LIBRARY + "'");
    EXPECT_EQ(defined.find("PMX_"), std::string::npos);
}

}  // namespace
