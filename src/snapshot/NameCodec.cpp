#include "NameCodec.h"

#include <QList>

#include <algorithm>
#include <cstdint>

namespace NameCodec {

namespace {

const char16_t Hex[] = u"0123456789ABCDEF";

bool standsAsItself(std::uint32_t c) {
    return c >= 0x20 && c != 0x7F && c != u'|' && c != u'\\';
}

void appendEscape(std::u16string &out, unsigned char byte) {
    out.push_back(u'|');
    out.push_back(Hex[byte >> 4]);
    out.push_back(Hex[byte & 15]);
}

void appendCodePoint(std::u16string &out, std::uint32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// The length of the valid UTF-8 sequence at p (at most `left` bytes), 0 when there is none.
// Overlong forms, surrogates and values past U+10FFFF are not valid.
int sequenceAt(const unsigned char *p, std::size_t left, std::uint32_t &c) {
    const unsigned char b = p[0];
    int n;
    std::uint32_t min;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        c = b & 0x1F;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        c = b & 0x0F;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        c = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < static_cast<std::size_t>(n))
        return 0;
    for (int k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Where the first unit that needs a change is, or the text's size.
qsizetype firstUnprintable(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        else if (isControl(c) || QChar::isSurrogate(c))
            return i;
    }
    return text.size();
}

} // namespace

void appendText(std::u16string &out, std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size;) {
        // Printable ASCII, nearly every byte of every name, is copied a run at a time.
        std::size_t run = i;
        while (run < size && p[run] < 0x80 && standsAsItself(p[run]))
            ++run;
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + (run - i));
            std::copy(p + i, p + run, out.begin() + static_cast<std::ptrdiff_t>(at));
            i = run;
            continue;
        }
        std::uint32_t c = 0;
        const int n = sequenceAt(p + i, size - i, c);
        if (n == 0) {
            appendEscape(out, p[i]);
            ++i;
            continue;
        }
        if (standsAsItself(c))
            appendCodePoint(out, c);
        else
            appendEscape(out, static_cast<unsigned char>(c));
        i += static_cast<std::size_t>(n);
    }
}

QString fromBytes(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    appendText(text, bytes);
    return QString(reinterpret_cast<const QChar *>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

QString pathFromBytes(std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        std::uint32_t c = 0;
        const int n = sequenceAt(p + i, bytes.size() - i, c);
        if (n == 0) {
            text.push_back(static_cast<char16_t>(0xDC00 + p[i]));
            ++i;
        } else {
            appendCodePoint(text, c);
            i += static_cast<std::size_t>(n);
        }
    }
    return QString(reinterpret_cast<const QChar *>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

QByteArray pathBytes(QStringView folder, QStringView name) {
    QByteArray path;
    // What no file system name can be: a file read from elsewhere must not lead out of the root.
    const auto append = [&path](QStringView part) {
        const QByteArray bytes = toBytes(part);
        if (bytes.isEmpty() || bytes == "." || bytes == ".." || bytes.contains('/') ||
            bytes.contains('\0'))
            return false;
        path += bytes;
        return true;
    };
    for (const QStringView part : folder.split(u'\\', Qt::SkipEmptyParts)) {
        if (!append(part))
            return {};
        path += '/';
    }
    return append(name) ? path : QByteArray();
}

QByteArray toBytes(QStringView text) {
    // "|" and hex digits are ASCII, which no other character's UTF-8 holds: the escapes can be
    // undone in the UTF-8 bytes, in place.
    QByteArray bytes = text.toUtf8();
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    qsizetype out = 0;
    for (qsizetype in = 0; in < bytes.size(); ++out) {
        if (bytes[in] == '|' && in + 2 < bytes.size() && hex(bytes[in + 1]) >= 0 &&
            hex(bytes[in + 2]) >= 0) {
            bytes[out] = static_cast<char>(hex(bytes[in + 1]) * 16 + hex(bytes[in + 2]));
            in += 3;
        } else {
            bytes[out] = bytes[in++];
        }
    }
    bytes.truncate(out);
    return bytes;
}

QByteArray pathToBytes(QStringView path) {
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < path.size() &&
                          QChar::isLowSurrogate(path[i + 1].unicode());
        if (!pair && c >= 0xDC80 && c <= 0xDCFF)
            out += static_cast<char>(c - 0xDC00);
        else
            out += path.mid(i, pair ? 2 : 1).toUtf8();
        i += pair ? 1 : 0;
    }
    return out;
}

void appendPrintable(QString &out, QStringView text) {
    qsizetype i = firstUnprintable(text);
    out.append(text.first(i));
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            out.append(text.sliced(i, 2));
            ++i;
        } else if (isControl(c) || (c >= 0xDC80 && c <= 0xDCFF)) {
            const auto byte = static_cast<unsigned char>(isControl(c) ? c : c - 0xDC00);
            out.append(u'|');
            out.append(QChar(Hex[byte >> 4]));
            out.append(QChar(Hex[byte & 15]));
        } else {
            out.append(QChar(QChar::isSurrogate(c) ? u'\uFFFD' : c));
        }
    }
}

QString printable(const QString &text) {
    if (firstUnprintable(text) == text.size())
        return text;
    QString out;
    out.reserve(text.size() + 8);
    appendPrintable(out, text);
    return out;
}

} // namespace NameCodec
