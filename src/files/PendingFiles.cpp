#include "PendingFiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What the handler reads must be safe to read at any moment: plain memory claimed and released
// through a lock-free state, never a container that could be half changed when the signal
// comes.
enum State { Free, Changing, Held };

struct Place {
    std::atomic<int> state{Free};
    int folder = -1;
    char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

// Each save in progress holds one: the Save As of the window beside two recovery writes, or the
// four result files of a comparison.
Place places[64];

void removeAndEnd(int signal) {
    const int savedErrno = errno;
    for (Place &place : places) {
        if (place.state.load() == Held)
            ::unlinkat(place.folder, place.name, 0);
    }
    errno = savedErrno;
    // The handler was set for one call: raised again, the signal now does what it would have
    // done without it, once this returns.
    ::raise(signal);
}

} // namespace

int PendingFiles::add(int folder, const QByteArray &name) {
    if (name.isEmpty() || name.size() > NAME_MAX)
        return -1;
    for (int k = 0; k < int(std::size(places)); ++k) {
        int expected = Free;
        if (places[k].state.compare_exchange_strong(expected, Changing)) {
            places[k].folder = folder;
            std::memcpy(places[k].name, name.constData(), std::size_t(name.size()) + 1);
            places[k].state.store(Held);
            return k;
        }
    }
    return -1;
}

void PendingFiles::remove(int place) {
    if (place >= 0 && place < int(std::size(places)))
        places[place].state.store(Free);
}

void PendingFiles::removeOnSignals() {
    struct sigaction action {};
    action.sa_handler = removeAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}
