#pragma once

#include "FileError.h"

#include <QString>
#include <cstdint>

// A file opened for reading, closed when this goes. Opening is a step of its own so that a
// command can learn that a file cannot be read before it gives up what it holds.
class ReadableFile {
public:
    ReadableFile() = default;
    ~ReadableFile();
    ReadableFile(const ReadableFile &) = delete;
    ReadableFile &operator=(const ReadableFile &) = delete;

    // A folder counts as a file that cannot be opened.
    FileError open(const QString &path);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The size when opened (0 for pipes and devices).
    std::int64_t size() const { return m_size; }

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
};
