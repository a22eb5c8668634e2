#pragma once
// A fresh directory of its own under the system's temporary directory, removed with everything
// in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarrow-test-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) != nullptr)
            path = tmpl;
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to `name` (under the directory unless absolute), making its folders.
    std::string file(const std::filesystem::path& name, const std::string& bytes) const {
        const std::filesystem::path p = path / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    std::filesystem::path path;
};
