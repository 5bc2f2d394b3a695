#include "CompareOptions.h"

void CompareOptions::reset(int list) {
    limit(list).clear();
    ignoreAttr = {false, false, false, false, false, true};
    ignoreSize = false;
    ignoreStamp = false;
    ignoreHourShifts = false;
    compared = false;
}

std::int16_t Mask(const CompareOptions &options) {
    std::int16_t mask = 0;
    for (int k = 0; k < 6; ++k) {
        if (!options.ignoreAttr[static_cast<std::size_t>(k)])
            mask |= static_cast<std::int16_t>(1 << k);
    }
    if (!options.ignoreSize)
        mask |= 256;
    if (!options.ignoreStamp)
        mask |= 512;
    return mask;
}

double leadingNumber(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    bool digits = i > digitsStart;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const qsizetype fractionStart = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        digits = digits || i > fractionStart;
    }
    if (!digits)
        return 0;
    return text.mid(start, i - start).toDouble();
}

float toleranceDays(const QString &text) {
    return static_cast<float>((leadingNumber(text) + 0.1) / 1440.0);
}

QString NoExtraPath(const QString &fpath1, const QString &fPath2) {
    qsizetype n = fpath1.size(), m = fPath2.size();
    while (n > 0 && m > 0 && fpath1[n - 1] == fPath2[m - 1]) {
        --n;
        --m;
    }
    return fpath1.left(n).toLower();
}
