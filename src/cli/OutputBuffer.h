#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdio>

// Standard output gathered into large writes, so that a million lines cost few system calls
// and no more memory than one piece. A failed write ends the command with an error.
class OutputBuffer {
public:
    OutputBuffer() { m_data.reserve(Piece + Piece / 4); }
    ~OutputBuffer() { write(); }
    void append(QByteArrayView text) {
        m_data.append(text);
        if (m_data.size() >= Piece)
            write();
    }
    // Writes what is left; fails the command when standard output took less than all of it.
    void finish(const char *what);

private:
    void write() {
        if (!m_data.isEmpty() &&
            std::fwrite(m_data.data(), 1, m_data.size(), stdout) != std::size_t(m_data.size()))
            m_failed = true;
        m_data.resize(0); // keeps the room for the next piece
    }
    static constexpr qsizetype Piece = 1 << 16;
    QByteArray m_data;
    bool m_failed = false;
};
