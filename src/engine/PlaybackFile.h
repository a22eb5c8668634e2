#pragma once
#include <cstdio>
#include <string>
#include <utility>

// The recorded file being replayed. Every failure to read reads as the end of the file.
class PlaybackFile {
public:
    PlaybackFile() = default;
    PlaybackFile(const PlaybackFile&) = delete;
    PlaybackFile& operator=(const PlaybackFile&) = delete;
    ~PlaybackFile() { close(); }

    // Opens a regular file for reading; anything else (a directory, a device, a pipe) is
    // refused, since a stream without an end would never let a tick finish.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file != nullptr; }
    void swap(PlaybackFile& other) noexcept { std::swap(file, other.file); }

    // Drops what the stream has buffered so that reads see the file as it is now, in case it
    // changed since the last tick.
    void refresh();

    // Up to maxChars characters, through the next LF if it comes first, zero-terminated in
    // `line` (which holds maxChars + 1). False when nothing could be read.
    bool readLine(char* line, int maxChars);
    // The next byte, or -1 at the end of the file or on a read error.
    int readByte();
    // Steps back over the byte just read.
    void unreadByte(int byte);

    long tell();
    void seek(long position);
    void rewind();

private:
    std::FILE* file = nullptr;
};
