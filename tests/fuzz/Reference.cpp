#include "Reference.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>

namespace Reference {

namespace {

// Unit for unit into a QString: the conversions that read a leading U+FEFF or U+FFFE as a byte
// order mark would change the text.
std::u16string lower(const std::u16string &text) {
    return QStringView(text).toString().toLower().toStdU16String();
}

std::u16string matchKey(const Entry &e) {
    return lower(e.folder) + lower(e.name);
}

template <typename T> int order(const T &a, const T &b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

// Ordinal order of UTF-16 code units, spelt out here: the library's comparison would be inlined
// into the instrumented code of the fuzz target and traced at every code unit.
int order(const std::u16string &a, const std::u16string &b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        if (a[k] != b[k])
            return a[k] < b[k] ? -1 : 1;
    }
    return order(a.size(), b.size());
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The text with each character's case folded (simple folding, a character at a time), as
// UTF-16: the text order of the shown columns is the order of these code units.
std::u16string folded(const std::u16string &text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
        if (pair)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        c = QChar::toCaseFolded(c);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

int textOrder(const std::u16string &a, const std::u16string &b) {
    if (const int c = order(folded(a), folded(b)))
        return c;
    return order(a, b);
}

// The moment a serial stands for: before the epoch the fraction still counts forward.
double moment(double serial) {
    const double day = std::trunc(serial);
    return day + std::fabs(serial - day);
}

std::string decimal(std::int32_t value) {
    char buf[16];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return std::string(buf, end);
}

// A time as it reads back from its text with 15 significant digits.
double fifteenDigits(double value) {
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    double back = 0;
    const auto res = std::from_chars(buf, end.ptr, back);
    if (res.ec != std::errc() || res.ptr != end.ptr)
        std::abort(); // the reference itself is broken: no result of it may count
    return back;
}

std::u16string noExtraPath(const std::u16string &p1, const std::u16string &p2) {
    std::size_t n = p1.size(), m = p2.size();
    while (n > 0 && m > 0 && p1[n - 1] == p2[m - 1]) {
        --n;
        --m;
    }
    return lower(p1.substr(0, n));
}

} // namespace

std::vector<std::size_t> sorted(const List &list, int key, bool descending) {
    // Texts made once per entry rather than at every comparison.
    std::vector<std::u16string> keys(list.size()), exact(list.size());
    std::vector<std::string> digits(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (key == 2) {
            keys[i] = matchKey(list[i]);
            exact[i] = list[i].folder + list[i].name;
        } else if (key == 10) {
            digits[i] = decimal(list[i].attr);
        }
    }
    // Every level but the position; the position decides last and always ascending, which
    // stable_sort gives by itself.
    const auto levels = [&](std::size_t x, std::size_t y) -> int {
        const Entry &a = list[x], &b = list[y];
        switch (key) {
        case 0:
            return textOrder(a.name, b.name);
        case 1:
            return textOrder(a.folder, b.folder);
        case 2:
            if (const int c = order(keys[x], keys[y]))
                return c;
            if (const int c = order(exact[x], exact[y]))
                return c;
            return order(a.folder, b.folder);
        case 4:
            if (a.isFolder() || b.isFolder())
                return order(!a.isFolder(), !b.isFolder());
            return order(a.size, b.size);
        case 7: {
            const bool timedA = !a.isFolder() && !std::isnan(a.modified);
            const bool timedB = !b.isFolder() && !std::isnan(b.modified);
            if (!timedA || !timedB)
                return order(timedA, timedB);
            return order(moment(a.modified), moment(b.modified));
        }
        case 10:
            return order(digits[x], digits[y]);
        default:
            std::abort(); // only the columns above are modelled
        }
    };
    std::vector<std::size_t> positions(list.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    std::stable_sort(positions.begin(), positions.end(), [&](std::size_t x, std::size_t y) {
        const int c = levels(x, y);
        return descending ? c > 0 : c < 0;
    });
    return positions;
}

float toleranceDays(const std::u16string &text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::string number;
    bool digits = false;
    for (; i < text.size() && isDigit(text[i]); ++i, digits = true)
        number += static_cast<char>(text[i]);
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        for (++i; i < text.size() && isDigit(text[i]); ++i, digits = true)
            number += static_cast<char>(text[i]);
    }
    double value = 0;
    if (digits) {
        const auto res = std::from_chars(number.data(), number.data() + number.size(), value);
        if (res.ec != std::errc())
            std::abort();
        if (negative)
            value = -value;
    }
    return static_cast<float>((value + 0.1) / 1440);
}

Outcome compare(const List &original, const List &final, const Options &options) {
    const float tolerance = toleranceDays(options.tolerance);
    int mask = 0;
    for (int k = 0; k < 6; ++k) {
        if (!options.ignoreAttr[static_cast<std::size_t>(k)])
            mask |= 1 << k;
    }
    if (!options.ignoreSize)
        mask |= 256;
    if (!options.ignoreStamp)
        mask |= 512;
    const std::u16string extraO = noExtraPath(options.limitFinal, options.limitOriginal);
    const std::u16string extraF = noExtraPath(options.limitOriginal, options.limitFinal);

    struct Group {
        std::vector<std::size_t> o, f;
    };
    std::map<std::u16string, Group> groups;
    std::vector<std::u16string> exactO(original.size()), exactF(final.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        groups[extraO + matchKey(original[i])].o.push_back(i);
        exactO[i] = extraO + original[i].folder + original[i].name;
    }
    for (std::size_t j = 0; j < final.size(); ++j) {
        groups[extraF + matchKey(final[j])].f.push_back(j);
        exactF[j] = extraF + final[j].folder + final[j].name;
    }

    Outcome out;
    auto &onlyO = out.lists[0], &onlyF = out.lists[1], &changed = out.lists[2],
         &unchanged = out.lists[3];
    const auto inO = [&](const Entry &e) { return e.folder.starts_with(options.limitOriginal); };
    const auto inF = [&](const Entry &e) { return e.folder.starts_with(options.limitFinal); };

    const auto pairUp = [&](const Entry &o, const Entry &f) {
        if (o.isFolder() && f.isFolder()) {
            if (inO(o))
                unchanged.push_back({o});
            return;
        }
        int differ = 0;
        if (o.isFolder() != f.isFolder() || (!o.isFolder() && o.size != f.size))
            differ |= 256;
        const double tO = o.isFolder() || std::isnan(o.modified) ? 0.0 : o.modified;
        const double tF = f.isFolder() || std::isnan(f.modified) ? 0.0 : f.modified;
        if (static_cast<float>(std::fabs(fifteenDigits(tO) - fifteenDigits(tF))) > tolerance)
            differ |= 512;
        differ |= (o.attr ^ f.attr) & 63;
        if (differ & mask) {
            if (inF(f))
                changed.push_back(
                    {f, true, o.size, o.modified, o.attr, static_cast<std::uint16_t>(differ)});
        } else if (inO(o)) {
            unchanged.push_back({o});
        }
    };

    for (auto &[walkKey, group] : groups) {
        const auto arrange = [](const List &list, const std::vector<std::u16string> &exact,
                                std::vector<std::size_t> &side) {
            std::sort(side.begin(), side.end(), [&](std::size_t x, std::size_t y) {
                if (const int c = order(exact[x], exact[y]))
                    return c < 0;
                if (const int c = order(list[x].folder, list[y].folder))
                    return c < 0;
                return x < y;
            });
        };
        arrange(original, exactO, group.o);
        arrange(final, exactF, group.f);
        std::vector<bool> pairedO(group.o.size()), pairedF(group.f.size());
        // Entries spelt exactly alike find each other first.
        for (std::size_t a = 0; a < group.o.size(); ++a) {
            for (std::size_t b = 0; b < group.f.size(); ++b) {
                if (!pairedF[b] && exactO[group.o[a]] == exactF[group.f[b]]) {
                    pairUp(original[group.o[a]], final[group.f[b]]);
                    pairedO[a] = pairedF[b] = true;
                    break;
                }
            }
        }
        // Then the rest, in order.
        std::size_t a = 0, b = 0;
        for (;;) {
            while (a < group.o.size() && pairedO[a])
                ++a;
            while (b < group.f.size() && pairedF[b])
                ++b;
            if (a == group.o.size() || b == group.f.size())
                break;
            pairUp(original[group.o[a]], final[group.f[b]]);
            pairedO[a] = pairedF[b] = true;
        }
        for (std::size_t k = 0; k < group.o.size(); ++k) {
            if (!pairedO[k] && inO(original[group.o[k]]))
                onlyO.push_back({original[group.o[k]]});
        }
        for (std::size_t k = 0; k < group.f.size(); ++k) {
            if (!pairedF[k] && inF(final[group.f[k]]))
                onlyF.push_back({final[group.f[k]]});
        }
    }
    for (std::size_t n = 0; n < out.lists.size() && out.shown == 0; ++n) {
        if (!out.lists[n].empty())
            out.shown = static_cast<int>(n) + 3;
    }
    return out;
}

} // namespace Reference
