// Backup and restore of the terminal's data memory through archlib.
//
// A backup asks the terminal for its block map, reads the listed blocks into
// a 16 MiB image (64 KiB per block whose kind is read) and has archlib
// compress the image into one file. A restore expands such a file, has the
// terminal erase its data and installs the image. archlib is loaded by name
// for each call and released before returning.
#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"

namespace tl {

constexpr std::uint32_t kBackupImageSize = 16777216;  // 16 MiB
constexpr std::uint32_t kBackupBlockSize = 65536;
constexpr std::uint32_t kBackupExchangeSize = 65556;
constexpr std::uint32_t kBackupBlockBase = 0xFF880000;

// archlib as hosts know it; the platform layer maps it to the file name.
constexpr const char* kArchlibName = "archlib.dll";

struct BackupOptions {
    std::string archlib;               // module to load; empty = kArchlibName's file name
    std::uint32_t blockPauseMs = 200;  // pause after each stored block
};

// Results: 1 written; 0 the map lists no block that is read (no file); -2 the
// map or a block read failed, or the map is short of what it announces; 4 the
// path is null, empty or 200 bytes or longer (nothing sent), or compression
// failed; -100 no memory, or archlib or CompressItToFile missing (nothing
// sent).
int BackupData(DeviceSession& s, const char* path, const BackupOptions& options = {});

// Results: 1 installed; 0 the terminal refused to erase its data (nothing
// pushed); -2 the push or the install failed (the terminal's data is
// already erased); 4 the path is null, empty or 200 bytes or longer, or the
// file could not be expanded (nothing sent); -100 no memory, or archlib or
// ExpandItFromFile missing (nothing sent). Once the erase is accepted the
// session's cached tables are forgotten.
int RestoreData(DeviceSession& s, const char* path, const std::string& archlib = {});

}  // namespace tl
