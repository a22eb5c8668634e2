#include "engine/PlaybackFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool PlaybackFile::open(const std::string& path) {
    close();
    // Without blocking: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    // Reads block as usual from here on; a regular file never waits.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (f == nullptr) {
        ::close(fd);
        return false;
    }
    file = f;
    return true;
}

void PlaybackFile::close() {
    if (file != nullptr)
        std::fclose(file);
    file = nullptr;
}

void PlaybackFile::refresh() {
    if (file == nullptr)
        return;
    // On an input stream fflush discards the read-ahead and puts the descriptor back at the
    // stream's position (a seek within the buffer would keep the stale bytes).
    std::fflush(file);
    std::clearerr(file);
}

bool PlaybackFile::readLine(char* line, int maxChars) {
    if (file == nullptr || maxChars <= 0)
        return false;
    return std::fgets(line, maxChars + 1, file) != nullptr;
}

int PlaybackFile::readByte() {
    if (file == nullptr)
        return -1;
    const int c = std::fgetc(file);
    return c == EOF ? -1 : c;
}

void PlaybackFile::unreadByte(int byte) {
    if (file == nullptr)
        return;
    if (std::fseek(file, -1, SEEK_CUR) != 0)
        std::ungetc(byte, file);
}

long PlaybackFile::tell() { return file != nullptr ? std::ftell(file) : -1; }

void PlaybackFile::seek(long position) {
    if (file != nullptr && position >= 0)
        std::fseek(file, position, SEEK_SET);
}

void PlaybackFile::rewind() {
    if (file != nullptr)
        std::rewind(file);
}
