#pragma once
// A fresh directory under /tmp, removed with everything in it when the test ends.
#include <cstdlib>
#include <filesystem>

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/tarrow-settings-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};
