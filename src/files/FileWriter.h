#pragma once

#include "FileError.h"

#include <QString>
#include <string>
#include <sys/types.h>
#include <vector>

// Writes a file so that a failure never destroys the file it replaces: the text goes to a
// temporary file beside it, which takes the file's place only when everything was written.
// Devices and pipes (which cannot be replaced) are written directly when named as they are;
// reached through a symbolic link, only a regular file is written (see WriteTarget for the
// links followed). The new file never takes over set-user-ID, set-group-ID or sticky bits.
// A signal that ends the program removes the temporary (PendingFiles).
class FileWriter {
public:
    // Who may read a new file: as the umask says, or its owner alone.
    enum class Access { Usual, OwnerOnly };

    FileWriter() = default;
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;
    ~FileWriter();

    FileError open(const QString &path, Access access = Access::Usual);
    const QString &path() const { return m_path; }
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

    // Gives the finished files of several writers their targets' names together: all of them,
    // or, when one cannot be replaced, none (those replaced already get their earlier files
    // back). `failed` then names the writer that failed.
    static FileError replaceAll(const std::vector<FileWriter *> &writers,
                                FileWriter **failed = nullptr);

private:
    static constexpr std::size_t FlushSize = 1 << 20;
    FileError flush();
    FileError openDirect();
    FileError createTemporary(mode_t mode, bool setMode);
    void forgetTemporary();
    // The steps of replaceAll(): the new file takes the target's name and the earlier one, if
    // any, is kept under another until it is dropped or put back.
    FileError swapIn();
    void swapBack();
    void dropEarlier();
    void syncFolder() const;

    enum class Swapped { No, Exchanged, MovedAside, Created };

    QString m_path;
    int m_folder = -1;  // the folder of the target, opened
    QByteArray m_name;  // the target's name in it
    QByteArray m_temp;  // the temporary's name in it
    QByteArray m_aside; // the earlier file's name while replaceAll() may still put it back
    int m_pending = -1; // the temporary's place in PendingFiles
    int m_fd = -1;
    bool m_direct = false;
    bool m_finished = false;
    Swapped m_swapped = Swapped::No;
    std::string m_buffer;
};
