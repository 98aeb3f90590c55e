#include "core/module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cctype>

namespace pmx::module {

#if defined(_WIN32)
std::string FileName(const std::string& dllName) {
    return dllName;
}

std::string FolderOf(const void* address) {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<const char*>(address), &self))
        return ".";
    char path[MAX_PATH * 2];
    DWORD n = ::GetModuleFileNameA(self, path, sizeof path);
    if (n == 0 || n >= sizeof path) return ".";
    std::string s(path, n);
    auto slash = s.find_last_of("\\/");
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& file) {
    return folder + "\\" + file;
}

void* Load(const std::string& path) {
    // Only the plug-in's own folder is searched for what it depends on.
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* Symbol(void* module, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void Free(void* module) {
    ::FreeLibrary(static_cast<HMODULE>(module));
}
#else
std::string FileName(const std::string& dllName) {
    std::string base = dllName;
    if (base.size() > 4) {
        std::string ext = base.substr(base.size() - 4);
        for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dll") base.resize(base.size() - 4);
    }
    return "lib" + base + ".so";
}

std::string FolderOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) && info.dli_fname) {
        std::string self = info.dli_fname;
        auto slash = self.rfind('/');
        if (slash != std::string::npos) return self.substr(0, slash);
    }
    return ".";
}

std::string Join(const std::string& folder, const std::string& file) {
    return folder + "/" + file;
}

void* Load(const std::string& path) {
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* Symbol(void* module, const char* name) {
    return ::dlsym(module, name);
}

void Free(void* module) {
    ::dlclose(module);
}
#endif

}  // namespace pmx::module
