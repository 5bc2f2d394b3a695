#include "TextKeys.h"

#include <QChar>

namespace TextKeys {

int compareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts) {
    int pa = 0, pb = 0;
    qsizetype ia = 0, ib = 0;
    for (;;) {
        while (pa < aParts && ia == a[pa].size()) {
            ++pa;
            ia = 0;
        }
        while (pb < bParts && ib == b[pb].size()) {
            ++pb;
            ib = 0;
        }
        if (pa == aParts || pb == bParts)
            return pa == aParts ? (pb == bParts ? 0 : -1) : 1;
        const qsizetype n = std::min(a[pa].size() - ia, b[pb].size() - ib);
        const char16_t *x = a[pa].utf16() + ia;
        const char16_t *y = b[pb].utf16() + ib;
        for (qsizetype k = 0; k < n; ++k) {
            if (x[k] != y[k])
                return x[k] < y[k] ? -1 : 1;
        }
        ia += n;
        ib += n;
    }
}

Lowered lowerAscii(QStringView text, char16_t *__restrict out) {
    const char16_t *__restrict in = text.utf16();
    const std::size_t n = static_cast<std::size_t>(text.size());
    unsigned seen = 0, upper = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned u = in[k];
        const unsigned isUpper = (u - u'A') < 26u;
        seen |= u;
        upper |= isUpper;
        out[k] = static_cast<char16_t>(u + (isUpper << 5));
    }
    if (seen >= 0x80)
        return Lowered::NotAscii;
    return upper ? Lowered::Changed : Lowered::Same;
}

QString loweredInFull(QStringView text) {
    return text.toString().toLower();
}

QString lowered(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    if (lowerAscii(text, reinterpret_cast<char16_t *>(out.data())) == Lowered::NotAscii)
        return loweredInFull(text);
    return out;
}

QStringView lowered(QStringView text, QString &buffer) {
    buffer.resize(text.size());
    if (lowerAscii(text, reinterpret_cast<char16_t *>(buffer.data())) == Lowered::NotAscii)
        buffer = loweredInFull(text);
    return buffer;
}

void appendFolded(std::vector<char16_t> &out, QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) { // folding ASCII is lower-casing it
            out.push_back(static_cast<char16_t>(c - u'A' < 26u ? c + 32 : c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out.push_back(QChar::highSurrogate(c));
            out.push_back(QChar::lowSurrogate(c));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
}

} // namespace TextKeys
