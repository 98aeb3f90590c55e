// A fresh folder for a test's files, made portably (no POSIX calls), so the
// same tests build for Windows.
#pragma once

#include <filesystem>
#include <random>
#include <string>

// A new empty folder under the system's temporary folder, named `stem` plus
// a random ending; empty when none could be made.
inline std::filesystem::path MakeTestFolder(const std::string& stem) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::error_code ec;
        auto dir = std::filesystem::temp_directory_path(ec) / (stem + std::to_string(random()));
        if (!ec && std::filesystem::create_directory(dir, ec) && !ec) return dir;
    }
    return {};
}
