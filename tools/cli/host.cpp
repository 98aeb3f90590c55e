#include "cli/host.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

// msvcrt's own start-up call that yields the wide command-line arguments
// (the last parameter is its one-int start-up record).
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expand,
                                      int* startInfo);
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

// Code page 54936 is GB18030; a system without it (Wine) has code page 936,
// GBK, which holds the same one- and two-byte codes but for a few that the
// tool's own table (cli/gb_text.cpp) handles before. Four-byte codes never
// reach this layer. Both steps refuse what they cannot convert: invalid
// bytes on reading; on writing, a character the code page has no code for,
// never a best-fit look-alike or the default character.
UINT GbCodePage() {
    static const UINT page = ::IsValidCodePage(54936) ? 54936 : 936;
    return page;
}

std::optional<std::string> Convert(const std::string& text, UINT in, UINT out) {
    if (text.empty()) return std::string();
    const int n = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(in, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0);
    if (wide <= 0) return std::nullopt;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    if (::MultiByteToWideChar(in, MB_ERR_INVALID_CHARS, text.data(), n, w.data(), wide) != wide)
        return std::nullopt;
    // UTF-8 and GB18030 take only WC_ERR_INVALID_CHARS; other code pages
    // report a character they lack through the used-default flag.
    const bool strictFlag = out == CP_UTF8 || out == 54936;
    const DWORD flags = strictFlag ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = strictFlag ? nullptr : &usedDefault;
    const int bytes = ::WideCharToMultiByte(out, flags, w.data(), wide, nullptr, 0, nullptr, used);
    if (bytes <= 0 || usedDefault) return std::nullopt;
    std::string result(static_cast<std::size_t>(bytes), '\0');
    if (::WideCharToMultiByte(out, flags, w.data(), wide, result.data(), bytes, nullptr, used) !=
            bytes ||
        usedDefault)
        return std::nullopt;
    return result;
}

}  // namespace

std::optional<std::string> Utf8FromGb18030(const std::string& gb) {
    return Convert(gb, GbCodePage(), CP_UTF8);
}

std::optional<std::string> Gb18030FromUtf8(const std::string& utf8) {
    return Convert(utf8, CP_UTF8, GbCodePage());
}

std::string TypedText(const std::string& argument) {
    // msvcrt builds the wide arguments on request; the narrow ones the
    // program received are these converted to the ANSI code page, so the
    // argument is the wide one whose ANSI form it is (for "--flag=value",
    // the part after '=').
    int argc = 0, newMode = 0;
    wchar_t** argv = nullptr;
    wchar_t** env = nullptr;
    if (__wgetmainargs(&argc, &argv, &env, 0, &newMode) < 0 || !argv) return argument;
    const auto narrow = [](const std::wstring& w, UINT page) {
        if (w.empty()) return std::string();
        const int n = static_cast<int>(w.size());
        const int bytes = ::WideCharToMultiByte(page, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0)
            ::WideCharToMultiByte(page, 0, w.data(), n, out.data(), bytes, nullptr, nullptr);
        return out;
    };
    for (int i = 1; i < argc; ++i) {
        std::wstring w = argv[i];
        const auto eq = w.find(L'=');
        for (const std::wstring& candidate :
             {w, w.rfind(L"--", 0) == 0 && eq != std::wstring::npos ? w.substr(eq + 1) : w}) {
            if (narrow(candidate, CP_ACP) == argument) return narrow(candidate, CP_UTF8);
        }
    }
    return argument;
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
namespace {

// iconv stops at the first byte it cannot convert (EILSEQ) or at an
// incomplete character at the end (EINVAL); either refuses the whole text.
std::optional<std::string> Convert(const std::string& text, const char* from, const char* to) {
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

}  // namespace

std::optional<std::string> Utf8FromGb18030(const std::string& gb) {
    return Convert(gb, "GB18030", "UTF-8");
}

std::optional<std::string> Gb18030FromUtf8(const std::string& utf8) {
    return Convert(utf8, "UTF-8", "GB18030");
}

std::string TypedText(const std::string& argument) {
    return argument;
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
