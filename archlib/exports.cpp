// The two exported functions: argument checks and the file round trip.
// Nothing here throws across the C boundary.
#include <new>
#include <vector>

#include "archive.h"
#include "archlib.h"
#include "files.h"

extern "C" {

ARCHLIB_API int ARCHLIB_CALL CompressItToFile(const unsigned char* data, const char* path,
                                              int* length) {
    if (!data || !path || !length || *length <= 0) return 0;
    const auto n = static_cast<std::size_t>(*length);
    if (n > archlib::kMaxOriginal) return 0;
    try {
        std::vector<std::uint8_t> file;
        if (!archlib::Pack(data, n, file)) return 0;
        return archlib::WriteFileAtomically(path, file.data(), file.size()) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ARCHLIB_API int ARCHLIB_CALL ExpandItFromFile(const char* path, unsigned char* buffer,
                                              int* capacity) {
    if (!path || !buffer || !capacity || *capacity <= 0) return 0;
    try {
        std::vector<std::uint8_t> file;
        if (!archlib::ReadWholeFile(path, archlib::kMaxFile, file)) return 0;
        const std::size_t n =
            archlib::Unpack(file.data(), file.size(), buffer, static_cast<std::size_t>(*capacity));
        return static_cast<int>(n);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
