// The exception and statistics pages read back work files of any content.
// Input: a length-prefixed users file, then the bytes of the work file; the
// first byte picks the page.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "report/calc.h"
#include "report/html.h"
#include "report/report_files.h"

using namespace tl::report;

namespace {

// A private folder for the work file and the page, removed at exit.
struct TempFolder {
    std::string path;
    TempFolder() {
        char tmpl[] = "/tmp/tl_fuzz_pages_XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        path = std::string(tmpl) + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& Folder() {
    static TempFolder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool statistics = data[0] & 1;
    std::size_t usersLen = tl::load_u16(data + 1);
    data += 3;
    size -= 3;
    if (usersLen > size) usersLen = size;
    RunInputs in;
    in.users = UsersFile(std::vector<std::uint8_t>(data, data + usersLen));
    const std::string work = Folder() + "work.dat";
    {
        std::ofstream f(work, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data + usersLen),
                static_cast<std::streamsize>(size - usersLen));
    }
    AttRuleRecord rule = AttRuleRecord::Parse(tl::Bytes(data, usersLen));
    const std::string out = Folder() + "page.htm";
    if (statistics)
        WriteStatisticsPage(in, out, rule, work, 1, 2);
    else
        WriteExceptionPage(in, out, rule, work, 1, 2);
    return 0;
}
