#pragma once
// A fresh directory of its own under the system's temporary directory, removed with everything
// in it when the test ends.
#include <cstdlib>
#include <filesystem>
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
    std::filesystem::path path;
};
