#pragma once

#include <QString>
#include <cstdint>

// The names of owners and groups, as this system's account database gives them; the number
// itself where it names no account. Names are looked up when a list shows them, never kept in a
// snapshot: the numbers are what the file system holds, and another machine names them
// otherwise. Safe to call from any thread.
namespace AccountNames {
QString user(std::uint32_t uid);
QString group(std::uint32_t gid);
} // namespace AccountNames
