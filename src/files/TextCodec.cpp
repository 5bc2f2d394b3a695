#include "TextCodec.h"

#include <QStringDecoder>

namespace TextCodec {

namespace {
const char Hex[] = "0123456789ABCDEF";

// Windows-1252 characters 0x80 to 0x9F; the rest of the code page is Latin-1.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool isEscaped(char16_t c) {
    return c < 0x20 || c == u'"' || c == u'|';
}

void resolveEscapes(QString &s) {
    const qsizetype first = s.indexOf(u'|');
    if (first < 0)
        return;
    QChar *d = s.data();
    qsizetype w = first;
    for (qsizetype r = first; r < s.size(); ++r) {
        if (d[r] == u'|' && r + 2 < s.size() && hexValue(d[r + 1].unicode()) >= 0 &&
            hexValue(d[r + 2].unicode()) >= 0) {
            d[w++] = QChar(static_cast<char16_t>(hexValue(d[r + 1].unicode()) * 16 +
                                                 hexValue(d[r + 2].unicode())));
            r += 2;
        } else {
            d[w++] = d[r];
        }
    }
    s.truncate(w);
}
} // namespace

void appendUtf8(std::string &out, QStringView text) {
    // Plain ASCII is copied as it stands, which is nearly every name.
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(text.size()));
    char *p = out.data() + start;
    const char16_t *u = text.utf16();
    qsizetype ascii = 0;
    while (ascii < text.size() && u[ascii] < 0x80) {
        p[ascii] = static_cast<char>(u[ascii]);
        ++ascii;
    }
    out.resize(start + static_cast<std::size_t>(ascii));
    for (qsizetype i = ascii; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && text[end].unicode() >= 0x80)
            ++end;
        const QByteArray bytes = text.mid(i, end - i).toUtf8();
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        i = end - 1;
    }
}

bool needsEscape(QStringView text) {
    // No early exit: the loop is read a whole vector of characters at a time.
    const char16_t *u = text.utf16();
    unsigned any = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        any |= unsigned(u[i] < 0x20) | unsigned(u[i] == u'"') | unsigned(u[i] == u'|');
    return any != 0;
}

void appendEscapedUtf8(std::string &out, QStringView text) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isEscaped(c))
            continue;
        appendUtf8(out, text.mid(start, i - start));
        out.push_back('|');
        out.push_back(Hex[c >> 4]);
        out.push_back(Hex[c & 15]);
        start = i + 1;
    }
    appendUtf8(out, text.mid(start));
}

bool isValidUtf8(const char *data, std::size_t size) {
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const unsigned char *end = p + size;
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        for (int k = 1; k <= n; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

bool decodeField(const char *data, std::size_t size, Encoding encoding, bool unescape,
                 QString &out) {
    bool ascii = true;
    for (std::size_t i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        // Widened in place: the text keeps its buffer from field to field.
        out.resize(static_cast<qsizetype>(size));
        char16_t *d = reinterpret_cast<char16_t *>(out.data());
        for (std::size_t i = 0; i < size; ++i)
            d[i] = static_cast<unsigned char>(data[i]);
    } else if (encoding == Encoding::Utf8) {
        if (!isValidUtf8(data, size))
            return false;
        // A text may begin with U+FEFF (a file name can); fromUtf8() would drop it as a mark.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        out = decoder(QByteArrayView(data, static_cast<qsizetype>(size)));
    } else {
        out.resize(static_cast<qsizetype>(size));
        for (std::size_t i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(data[i]);
            out[static_cast<qsizetype>(i)] =
                QChar(c >= 0x80 && c < 0xA0 ? Cp1252High[c - 0x80] : char16_t(c));
        }
    }
    if (unescape)
        resolveEscapes(out);
    return true;
}

} // namespace TextCodec
