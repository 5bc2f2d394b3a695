#pragma once

#include <QString>
#include <cstdint>

// A failure of a file operation: one of the program's error codes and its message.
struct FileError {
    enum Code {
        None = 0,
        OutOfMemory = 7,
        BadFileNameOrNumber = 52,
        FileNotFound = 53,
        BadFileMode = 54,
        FileAlreadyOpen = 55,
        DeviceIO = 57,
        DiskFull = 61,
        InputPastEnd = 62,
        // A snapshot file whose header states another number of entries than it holds: cut
        // short, or lines added. The description names both numbers.
        WrongEntryCount = 63,
        BadFileName = 64,
        PermissionDenied = 70,
        PathFileAccess = 75,
        DeviceUnavailable = 68,
        DriveNotReady = 71,
        PathNotFound = 76,
        InvalidValue = 380,
    };

    int code = None;
    QString description; // the platform's own text, for codes outside the table

    bool ok() const { return code == None; }
    explicit operator bool() const { return code != None; }
    // The message shown for this error.
    QString message() const;

    static FileError fromCode(int code, const QString &description = {});
    static FileError wrongEntryCount(std::int64_t stated, std::int64_t held);
    // Classifies an errno value; `path` lets a missing file tell apart from a missing folder.
    static FileError fromErrno(int err, const QString &path = {});
};

// The fixed message of a code in the table, or an empty text for any other code.
QString fileErrorMessage(int code);
