#include "files.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace archlib {
namespace {

bool ReplaceFile(const std::string& from, const char* to) {
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to) == 0;
#endif
}

}  // namespace

bool ReadWholeFile(const char* path, std::size_t limit, std::vector<std::uint8_t>& out) {
    out.clear();
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = true;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
        if (got > 0) {
            if (out.size() + got > limit) {
                ok = false;
                break;
            }
            out.insert(out.end(), chunk, chunk + got);
        }
        if (got < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

bool WriteFileAtomically(const char* path, const std::uint8_t* data, std::size_t n) {
    const std::string temp = std::string(path) + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, n, f) == n;
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = ReplaceFile(temp, path);
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace archlib
