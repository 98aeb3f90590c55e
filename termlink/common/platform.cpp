#include "common/platform.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tl::platform {

std::uint32_t tick_ms() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void sleep_ms(std::uint32_t ms) {
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    // Fuzz builds never wait: a pause there only slows the search.
    (void)ms;
    return;
#endif
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

#if defined(_WIN32)
Module load_module(const std::string& name) {
    return LoadLibraryA(name.c_str());
}
void* find_symbol(Module m, const char* s) {
    return m ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m), s)) : nullptr;
}
void free_module(Module m) {
    if (m) FreeLibrary(static_cast<HMODULE>(m));
}
std::string module_file_name(const std::string& dllName) {
    return dllName;
}
Module loaded_module(const std::string& dllName) {
    return GetModuleHandleA(dllName.c_str());
}
std::string join_path(const std::string& folder, const std::string& file) {
    if (folder.empty()) return file;
    char last = folder.back();
    return (last == '\\' || last == '/') ? folder + file : folder + "\\" + file;
}
bool replace_file(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
Module load_module(const std::string& name) {
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* find_symbol(Module m, const char* s) {
    return m ? dlsym(m, s) : nullptr;
}
void free_module(Module m) {
    if (m) dlclose(m);
}
std::string module_file_name(const std::string& dllName) {
    std::string base = dllName;
    if (base.size() > 4) {
        std::string ext = base.substr(base.size() - 4);
        for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dll") base.resize(base.size() - 4);
    }
    return "lib" + base + ".so";
}
Module loaded_module(const std::string& dllName) {
    Module m = dlopen(module_file_name(dllName).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    // RTLD_NOLOAD still counts a reference; drop it again. The module stays
    // loaded by whoever loaded it first, so the handle remains valid.
    if (m) dlclose(m);
    return m;
}
std::string join_path(const std::string& folder, const std::string& file) {
    if (folder.empty()) return file;
    return folder.back() == '/' ? folder + file : folder + "/" + file;
}
bool replace_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
#endif

}  // namespace tl::platform

namespace tl::platform {

std::string_view base_name(std::string_view path) {
#if defined(_WIN32)
    const std::size_t cut = path.find_last_of("\\/");
#else
    const std::size_t cut = path.rfind('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool write_file_replacing(const std::string& path, const void* data, std::size_t size) {
    const std::string temporary = path + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
#if defined(_WIN32)
    ok = ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
#endif
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

}  // namespace tl::platform
