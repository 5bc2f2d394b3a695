#pragma once
// Helpers shared by the fuzz targets. The readers take a path, so every input is written to a
// file first; one file per process is rewritten for each input, in memory where the system
// has a RAM disk.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

namespace FuzzInput {

// A scratch file of this process (created on first use, removed at exit), `slot` telling
// apart the files one target needs at once.
QString scratchPath(int slot = 0);

// Replaces the scratch file's contents with the bytes; aborts when that fails, because a
// target that silently reads a stale file would report nothing.
QString writeScratch(const std::uint8_t *data, std::size_t size, int slot = 0);

std::string readAll(const QString &path);

// Stops the run with a message naming the broken property.
[[noreturn]] void fail(const char *what, const QString &detail = {});

inline void check(bool ok, const char *what, const QString &detail = {}) {
    if (!ok)
        fail(what, detail);
}

// Takes typed values from the front of the input; an exhausted input yields zeros, so every
// byte string describes exactly one list.
class Bytes {
public:
    Bytes(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }
    std::uint64_t u64() { return std::uint64_t(u32()) << 32 | u32(); }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace FuzzInput
