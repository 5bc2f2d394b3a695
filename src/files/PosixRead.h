#pragma once

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <unistd.h>

// read(2) that goes on after an interrupting signal.
inline ssize_t readRetrying(int fd, void *buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Opens without waiting: a named pipe with nobody at its other end would otherwise block the
// program for good (it then reads as empty, or fails to open for writing). The descriptor
// blocks as usual afterwards.
inline int openWithoutWaiting(const char *path, int flags) {
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
