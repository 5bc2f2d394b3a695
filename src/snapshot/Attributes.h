#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// The attribute word of an entry, as a Windows file system gives it.
namespace Attr {
inline constexpr std::int32_t ReadOnly = 1;
inline constexpr std::int32_t Hidden = 2;
inline constexpr std::int32_t System = 4;
inline constexpr std::int32_t Volume = 8;
inline constexpr std::int32_t Directory = 16;
inline constexpr std::int32_t Archive = 32;
inline constexpr std::int32_t SymbolicLink = 1024; // Windows' reparse-point bit
} // namespace Attr

QString attrText(std::int32_t bits);

// The part of a path after its last backslash (on POSIX also after its last slash).
QString lastPathPart(QStringView path);
