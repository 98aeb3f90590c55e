#include "cli/host.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#else
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tlcli::host {

#if defined(_WIN32)
namespace {

UINT CodePage(const char* name) {
    if (std::strcmp(name, "UTF-8") == 0) return CP_UTF8;
    if (std::strcmp(name, "GB2312") == 0) return 936;
    return 0;
}

}  // namespace

std::optional<std::string> ConvertText(const std::string& text, const char* from, const char* to) {
    const UINT in = CodePage(from), out = CodePage(to);
    if (!in || !out) return std::nullopt;
    if (text.empty()) return std::string();
    const int n = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(in, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0);
    if (wide <= 0) return std::nullopt;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(in, MB_ERR_INVALID_CHARS, text.data(), n, w.data(), wide);
    const int bytes = ::WideCharToMultiByte(out, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::nullopt;
    std::string result(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(out, 0, w.data(), wide, result.data(), bytes, nullptr, nullptr);
    return result;
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    ::localtime_s(&tm, &t);
    return tm;
}

void UseBinaryStdout() {
    std::fflush(stdout);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

bool StderrIsTerminal() {
    return ::_isatty(2) != 0;
}

const char* NullDevice() {
    return "NUL";
}

const char* PathSeparators() {
    return "\\/";
}

std::optional<std::string> MakeTempFolder(const std::string& prefix) {
    // A folder under the user's own temporary folder inherits its owner-only
    // access; the ending is tried until a name is free.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char ending[32];
        std::snprintf(ending, sizeof ending, "%08lx%04x",
                      static_cast<unsigned long>(::GetTickCount() ^ ::GetCurrentProcessId()),
                      attempt);
        const std::string path = prefix + ending;
        if (::CreateDirectoryA(path.c_str(), nullptr)) return path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    errno = EEXIST;
    return std::nullopt;
}
#else
std::optional<std::string> ConvertText(const std::string& text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::string in = text;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buf[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, sizeof buf - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm;
}

void UseBinaryStdout() {}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

const char* NullDevice() {
    return "/dev/null";
}

const char* PathSeparators() {
    return "/";
}

std::optional<std::string> MakeTempFolder(const std::string& prefix) {
    std::string path = prefix + "XXXXXX";
    if (!::mkdtemp(path.data())) return std::nullopt;
    return path;
}
#endif

}  // namespace tlcli::host
