#pragma once

#include <QByteArray>
#include <QStringView>

// The bytes of a name's text, as a folder holds them: each "|XX" gives its byte, the rest is
// UTF-8. Written apart from the scanner's decoding, which it reverses.
inline QByteArray nameBytes(QStringView text) {
    auto hex = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= u'0' && u <= u'9' ? u - u'0' : u >= u'A' && u <= u'F' ? u - u'A' + 10 : -1;
    };
    QByteArray out;
    qsizetype plain = 0; // start of the text not yet converted
    for (qsizetype i = 0; i + 2 < text.size(); ++i) {
        if (text[i] != u'|' || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0)
            continue;
        out += text.mid(plain, i - plain).toUtf8();
        out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
        i += 2;
        plain = i + 1;
    }
    out += text.mid(plain).toUtf8();
    return out;
}
