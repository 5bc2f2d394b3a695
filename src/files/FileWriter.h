#pragma once

#include "FileError.h"

#include <QString>
#include <string>

// Writes a file so that a failure never destroys the file it replaces: the text goes to a
// temporary file beside it, which takes the file's place only when everything was written.
// Devices and pipes (which cannot be replaced) are written directly.
class FileWriter {
public:
    FileWriter() = default;
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;
    ~FileWriter();

    FileError open(const QString &path);
    // Text waiting to be written; flushed by write() when it grows large.
    std::string &buffer() { return m_buffer; }
    // Writes out the buffer once it holds enough; returns the first error met.
    FileError flushIfFull() { return m_buffer.size() >= FlushSize ? flush() : FileError{}; }
    // finish() and replace() in one.
    FileError commit();
    // Writes out the rest and puts it on the disk under the temporary name; the file it will
    // replace is still as it was.
    FileError finish();
    // Gives the finished file the target's name, in one step: a crash at any moment leaves the
    // earlier file or this one.
    FileError replace();
    // Drops the temporary file; the original stays as it was.
    void discard();

private:
    static constexpr std::size_t FlushSize = 1 << 20;
    FileError flush();

    QString m_path;
    QByteArray m_target;
    QByteArray m_temp;
    int m_fd = -1;
    bool m_direct = false;
    bool m_finished = false;
    std::string m_buffer;
};
