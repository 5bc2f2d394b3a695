#pragma once

// TextKeys: what every sort and comparison does to a text before it compares it (lowering it to
// a match key, folding its case for the columns shown) and the plain comparison itself. It knows
// no list, so the list model and every sort can use it.

#include <QString>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace TextKeys {

// Ordinal comparison (UTF-16 code units) of two texts each made of consecutive parts, as if the
// parts were joined.
int compareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts);

// The same for two whole texts.
inline int compare(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t *x = a.utf16(), *y = b.utf16();
    for (qsizetype k = 0; k < n; ++k) {
        if (x[k] != y[k])
            return x[k] < y[k] ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size();
}

// A text lowered as match keys and exclusion patterns are: as QString::toLower() does it, which
// may change its length ("İ" becomes two code units).
QString lowered(QStringView text);
// The same into `buffer`, reused from text to text; returns a view of it.
QStringView lowered(QStringView text, QString &buffer);

// The two steps of lowered(), for a caller that writes keys where it keeps them. Lowering ASCII
// is the one thing toLower() does to it, and nearly every name is ASCII: lowerAscii writes the
// text's ASCII lowered to `out` (room for text.size() units) in one pass and tells whether it
// differs, or whether the text holds more than ASCII; then `out` is of no use and
// loweredInFull makes the key.
enum class Lowered { Same, Changed, NotAscii };
Lowered lowerAscii(QStringView text, char16_t *__restrict out);
QString loweredInFull(QStringView text);

// Appends a text key whose ordinal order is the text order of the columns shown: each
// character's letter case folded (simple case folding, character by character, no locale).
void appendFolded(std::vector<char16_t> &out, QStringView text);

} // namespace TextKeys
