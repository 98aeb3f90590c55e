// The few operating-system services termlink needs, behind one small layer so
// that the same sources build for Linux and for 32-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tl::platform {

// Milliseconds from an arbitrary fixed point; wraps like a 32-bit tick count.
std::uint32_t tick_ms();

// Pauses the calling thread.
void sleep_ms(std::uint32_t ms);

// Dynamic loading. A null handle means the module could not be loaded.
using Module = void*;
Module load_module(const std::string& name);
void* find_symbol(Module module, const char* symbol);
void free_module(Module module);

// The handle of a module this process has already loaded, by the name hosts
// know it by ("portmux.dll"); null when it is not loaded. Nothing is loaded
// and no reference is kept.
Module loaded_module(const std::string& dllName);

// Maps a module name as hosts know it ("archlib.dll") to this platform's file
// name ("libarchlib.so" on Linux, unchanged on Windows).
std::string module_file_name(const std::string& dllName);

// Joins a folder and a file name with this platform's separator.
std::string join_path(const std::string& folder, const std::string& file);

// Moves the file `from` to the name `to`, replacing a file already there in
// one step, so readers of `to` see either the old file or the new one. False
// (and `to` untouched) when the move fails.
bool replace_file(const std::string& from, const std::string& to);

}  // namespace tl::platform

namespace tl::platform {

// The part of a path after its last directory separator ('/' here; '\' and
// '/' on Windows); the whole path when it has none.
std::string_view base_name(std::string_view path);

// Writes `size` bytes as the whole content of `path`, completely or not at
// all: the bytes go to a temporary file beside it, which then replaces the
// path. False (and the path as it was) when anything fails.
bool write_file_replacing(const std::string& path, const void* data, std::size_t size);

}  // namespace tl::platform
