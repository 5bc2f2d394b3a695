#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdio>
#include <string>

// Standard output gathered into large writes, so that a million lines cost few system calls
// and no more memory than one piece. A failed write ends the command with an error.
class OutputBuffer {
public:
    OutputBuffer() { m_data.reserve(Piece + Piece / 4); }
    ~OutputBuffer() { write(); }
    void append(QByteArrayView text) {
        m_data.append(text.data(), std::size_t(text.size()));
        if (m_data.size() >= Piece)
            write();
    }
    // Lets `write` append to the buffer itself.
    template <typename Write> void appendWith(Write &&write) {
        write(m_data);
        if (m_data.size() >= Piece)
            this->write();
    }
    // Writes what is left; fails the command when standard output took less than all of it.
    void finish(const char *what);

private:
    void write() {
        if (!m_data.empty() &&
            std::fwrite(m_data.data(), 1, m_data.size(), stdout) != m_data.size())
            m_failed = true;
        m_data.clear(); // keeps the room for the next piece
    }
    static constexpr std::size_t Piece = 1 << 16;
    std::string m_data;
    bool m_failed = false;
};
