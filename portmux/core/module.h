// Loading plug-in modules: the one place portmux meets the platform's
// dynamic loader.
#pragma once

#include <string>

namespace pmx::module {

// A plug-in's file name from the name callers pass ("netwire.dll"):
// "libnetwire.so" on POSIX systems, unchanged on Windows.
std::string FileName(const std::string& dllName);

// The folder holding the module that contains `address` (without a trailing
// separator), or "." when it cannot be told.
std::string FolderOf(const void* address);

// Joins a folder and a file name with the platform's separator.
std::string Join(const std::string& folder, const std::string& file);

// Null when the module cannot be loaded.
void* Load(const std::string& path);
void* Symbol(void* module, const char* name);
void Free(void* module);

}  // namespace pmx::module
