#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

// read(2) that goes on after an interrupting signal.
inline ssize_t readRetrying(int fd, void *buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}
