// Whole files between the caller's disk and the terminal: the firmware image,
// a file pushed by name, a file pulled by name, a language text, a raw table
// read into a file, and the generic command with three integer arguments.
//
// Every refusal of the caller's input happens before any traffic. Refusals
// chosen here where the caller's input does not fit termlink's buffers:
//   - TL_SendFile: a file over 1 MiB, a base name of 36 bytes or more (it
//     must fit the 40-byte block behind the 4-byte code with its NUL) or an
//     empty one (a path ending in a separator): 4;
//   - TL_UpdateLanguageByID: a text over 96 bytes: 4;
//   - TL_ReadFile: a null or empty name or a null directory: 4; directory and
//     name together 200 bytes or more (the path and its NUL must fit 200):
//     -2, "file not created", from the export's documented results;
//   - TL_UpdateFirmware: a file over 512 MiB, and the firmware file's own
//     rejections (maintenance/firmware_file.h): 4.
// A pulled file or table holds the bytes after the transport's 4-byte length
// prefix: the prefix's count, cut to the bytes actually received. Files are
// written whole or not at all (temporary file, then rename).
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

constexpr std::uint32_t kUpdateFirmware = 2;
constexpr std::uint32_t kFirmwareTarget = 0xA0000000u;
constexpr std::uint32_t kUpdateFile = 1700;
constexpr std::size_t kFileBlockSize = 40;
constexpr std::size_t kFileNameMax = 35;  // bytes, without the NUL
constexpr long kSendFileMax = 1048576;    // 1 MiB
constexpr std::size_t kLanguageRequest = 100;
constexpr std::size_t kLanguageTextMax = 96;
// A firmware text larger than this is rejected unread (terminal images are
// a few MiB; their text twice that).
constexpr long kFirmwareTextMax = 536870912;         // 512 MiB
constexpr std::size_t kReadPathMax = 199;            // directory + name, without the NUL
constexpr std::uint32_t kReadBufferSize = 16777216;  // 16 MiB
constexpr int kBackgroundRequest = 160;

// 1 sent and accepted; 4 file rejected (nothing sent); -2.
int UpdateFirmware(DeviceSession& s, const char* path);
// 1; 4 refused (see above); -4 no memory; -2 file unreadable or exchange failed.
int SendFile(DeviceSession& s, const char* path);
// 1 written; 4 refused (see above); -4 no memory; -2 refused, the reply
// shorter than its length prefix, the path too long (nothing sent) or the
// file could not be written.
int ReadFile(DeviceSession& s, const char* name, const char* directory);
// 1; 4 id negative, text null or over 96 bytes; -2.
int UpdateLanguageById(DeviceSession& s, int id, const char* text);
// 1 on REPLY_OK, else -2.
int SendBackgroundCommand(DeviceSession& s, int command, int a, int b, int c);
// 1 written; 0 nothing received (fewer than the 4 prefix bytes); -2 refused;
// 4 null path or the file could not be written; -100 no memory.
int GetData(DeviceSession& s, int kind, const char* outputPath);

}  // namespace tl
