#pragma once

#include <exception>
#include <system_error>
#include <thread>

// Runs two independent pieces of work at once: `there` on a thread of its own, `here` on the
// caller's. When no thread is to be had they run one after the other. Whatever `there` throws
// (memory running out) is thrown again here once both are done, so callers handle one failure
// path whichever thread it happened on.
template <typename There, typename Here> void runSideBySide(There &&there, Here &&here) {
    std::exception_ptr thereFailed;
    auto guarded = [&] {
        try {
            there();
        } catch (...) {
            thereFailed = std::current_exception();
        }
    };
    {
        std::jthread other; // joined however this block is left
        try {
            other = std::jthread(guarded);
        } catch (const std::system_error &) {
            guarded();
        }
        here();
    }
    if (thereFailed)
        std::rethrow_exception(thereFailed);
}
