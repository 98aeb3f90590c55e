// Windows side of the platform layer.
#include <windows.h>

#include <sys/stat.h>

#include "platform/platform.h"

namespace qvupdate::platform {

void SleepMs(int ms) {
    if (ms > 0) ::Sleep(static_cast<DWORD>(ms));
}

void FlushArpCache() {
    // cmd.exe exists on every Windows (Command.com does not on 64-bit ones).
    // Hidden window, and the update does not wait for the command.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    char command[] = "cmd.exe /C arp -d";
    if (::CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                         nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

bool IsRegularFile(const std::string& path) {
    struct _stat64 st {};
    return ::_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFREG) != 0;
}

}  // namespace qvupdate::platform
