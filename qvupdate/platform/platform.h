// The few things QVUpdate asks of the operating system: pausing, clearing the
// host's ARP cache before a connect, and looking at files. Everything else in
// QVUpdate is portable; a Windows build swaps only this folder's source file.
#pragma once

#include <string>

namespace qvupdate::platform {

// Blocks the calling thread for `ms` milliseconds (nothing for ms <= 0).
void SleepMs(int ms);

// Starts clearing the host's ARP cache, hidden and without waiting for it, so
// that a terminal that was given a new network card or address is reached at
// once. Windows runs "cmd.exe /C arp -d". Other systems do nothing: clearing
// the cache there needs root and touches every connection of the host.
void FlushArpCache();

// True when `path` names an existing regular file (or a link to one).
bool IsRegularFile(const std::string& path);

}  // namespace qvupdate::platform
