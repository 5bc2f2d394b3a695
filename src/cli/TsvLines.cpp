#include "TsvLines.h"

#include "files/TextCodec.h"
#include "snapshot/Columns.h"
#include "snapshot/DateSerial.h"
#include "snapshot/NameCodec.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"

void TsvLines::appendModified(std::string &out, double serial) {
    if (!DateSerial::isValid(serial))
        return;
    std::int64_t day;
    int secs;
    DateSerial::split(serial, day, secs);
    TextCodec::appendUtf8(out, m_format.dateText(day));
    out += "  ";
    TextCodec::appendUtf8(out, m_format.timeText(secs, false));
}

#include <numeric>

namespace {
std::vector<int> firstColumns(int count) {
    std::vector<int> columns(static_cast<std::size_t>(count));
    std::iota(columns.begin(), columns.end(), 0);
    return columns;
}
} // namespace

TsvLines::TsvLines(const SnapshotList &list, int columns) : TsvLines(list, firstColumns(columns)) {}

void TsvLines::append(std::string &out, const std::string &prefix, int i) {
    const Entry &e = m_list.entry(i);
    out += prefix;
    for (const int c : m_columns) {
        if (c != m_columns.front())
            out.push_back('\t');
        switch (c) {
        case Col::InFolder: {
            if (m_folders.size() != m_list.folders().size())
                m_folders.resize(m_list.folders().size());
            std::string &text = m_folders[e.folder];
            if (text.empty())
                TextCodec::appendUtf8(text, NameCodec::printable(m_list.folder(i)));
            out += text;
            break;
        }
        case Col::Modified:
            if (!e.isFolder() && e.hasTime())
                appendModified(out, e.modified);
            break;
        case Col::WhatChanged:
            if (m_list.hasOrig())
                TextCodec::appendUtf8(out, changeLetters(m_list.orig(i).differ));
            break;
        default:
            TextCodec::appendUtf8(out, m_format.text(m_list, i, c));
        }
    }
    out.push_back('\n');
}
