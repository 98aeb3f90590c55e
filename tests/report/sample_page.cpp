// Writes one page of the fixed company: sample_page KIND OUTPUT-FILE.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "golden_company.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sample_page KIND OUTPUT-FILE\n");
        return 2;
    }
    char tmpl[] = "/tmp/tl_sample_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = std::string(tmpl) + "/";
    golden::WriteCompany(dir);
    std::FILE* devnull = std::freopen("/dev/null", "w", stdout);  // the engine's trace lines
    const int rc = golden::RunCompany(dir, argv[2], std::atoi(argv[1]));
    if (devnull) std::fclose(devnull);
    std::filesystem::remove_all(dir);
    return rc == 1 ? 0 : 1;
}
