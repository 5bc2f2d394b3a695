#include "JsonLines.h"

#include "TextCodec.h"
#include "snapshot/AccountNames.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"

#include <QByteArray>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/sysmacros.h>

namespace {

void appendNumber(std::string &out, std::uint64_t value) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, res.ptr);
}

// Sizes and inodes: exact integers up to 2^63; beyond, a number JSON readers take as
// approximate anyway.
void appendSize(std::string &out, std::uint64_t value) {
    if (value <= std::uint64_t(std::numeric_limits<std::int64_t>::max())) {
        appendNumber(out, value);
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", double(value));
    out += text;
}

void appendEscape(std::string &out, char16_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", unsigned(c));
    out += text;
}

// A JSON string. Besides what JSON must escape, DEL and the C1 controls (U+0080 to U+009F),
// which a terminal takes as commands.
void appendString(std::string &out, QStringView text) {
    out.push_back('"');
    qsizetype start = 0; // of the characters not yet written that need no escape
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t c = text[k].unicode();
        const bool escaped = c < 0x20 || c == u'"' || c == u'\\' || (c >= 0x7F && c <= 0x9F);
        if (!escaped)
            continue;
        TextCodec::appendUtf8(out, text.sliced(start, k - start));
        start = k + 1;
        switch (c) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        case u'\b':
            out += "\\b";
            break;
        case u'\f':
            out += "\\f";
            break;
        default:
            appendEscape(out, c);
        }
    }
    TextCodec::appendUtf8(out, text.sliced(start));
    out.push_back('"');
}

const char *ruleName(MoveRule rule) {
    switch (rule) {
    case MoveRule::Inode:
        return "\"inode\"";
    case MoveRule::Contents:
        return "\"contents\"";
    case MoveRule::NameSizeTime:
        return "\"name-size-time\"";
    case MoveRule::Entries:
        return "\"entries\"";
    case MoveRule::None:
        break;
    }
    return "null";
}

void appendKey(std::string &out, const char *key) {
    out.push_back(out.back() == '{' ? '"' : ',');
    if (out.back() == ',')
        out.push_back('"');
    out += key;
    out += "\":";
}

void appendTime(std::string &out, double serial) {
    if (std::isnan(serial) || !DateSerial::isValid(serial)) {
        out += "null";
        return;
    }
    const DateSerial::LocalTime t = DateSerial::toLocal(serial);
    char text[40];
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", t.date.year(),
                  t.date.month(), t.date.day(), t.time.hour(), t.time.minute(), t.time.second());
    out += text;
}

void appendDiffers(std::string &out, std::uint32_t differ) {
    const std::pair<std::uint32_t, const char *> names[] = {{Differ::Size, "size"},
                                                            {Differ::Stamp, "modified"},
                                                            {Differ::AttrBitsMask, "attributes"},
                                                            {Differ::Mode, "mode"},
                                                            {Differ::Owner, "owner"},
                                                            {Differ::Group, "group"},
                                                            {Differ::Link, "link"},
                                                            {Differ::Device, "device"},
                                                            {Differ::Capability, "capabilities"},
                                                            {Differ::Contents, "contents"}};
    out.push_back('[');
    for (const auto &[bit, name] : names) {
        if (!(differ & bit))
            continue;
        if (out.back() != '[')
            out.push_back(',');
        out.push_back('"');
        out += name;
        out.push_back('"');
    }
    out.push_back(']');
}

} // namespace

JsonLines::JsonLines(const QString &listName, ListId listId) : m_listId(listId) {
    appendString(m_list, listName);
}

const std::string &JsonLines::attributes(std::int32_t attr) {
    auto it = m_attributes.find(attr);
    if (it == m_attributes.end()) {
        std::string text;
        appendString(text, attrText(attr));
        it = m_attributes.emplace(attr, std::move(text)).first;
    }
    return it->second;
}

const std::string &JsonLines::account(std::uint32_t id, bool group) {
    const std::uint64_t key = std::uint64_t(id) << 1 | (group ? 1 : 0);
    auto it = m_accounts.find(key);
    if (it == m_accounts.end()) {
        std::string text;
        appendString(text, group ? AccountNames::group(id) : AccountNames::user(id));
        it = m_accounts.emplace(key, std::move(text)).first;
    }
    return it->second;
}

// The members of an entry's values and details, and, for the entry itself (`entryOf` set), those
// only it has, all in the order of their names. Owners and groups by number and by the name this
// system gives them.
void JsonLines::appendValues(std::string &out, std::uint64_t size, double modified,
                             std::int32_t attr, const Details *d, const SnapshotList *entryOf,
                             int i) {
    const bool folder = attr & Attr::Directory;
    const bool original = entryOf == nullptr;
    const bool changed = !original && entryOf->hasOrig();
    if (d && !d->known())
        d = nullptr;
    appendKey(out, "attrBits");
    appendNumber(out, std::uint32_t(attr));
    appendKey(out, "attributes");
    out += attributes(attr);
    if (d && !d->capability.isEmpty()) {
        appendKey(out, "capability");
        out += '"' + d->capability.toHex().toStdString() + '"';
    }
    if (d && d->rdev) {
        appendKey(out, "device");
        out += '"' + std::to_string(major(d->rdev)) + ',' + std::to_string(minor(d->rdev)) + '"';
    }
    if (changed) {
        appendKey(out, "differs");
        appendDiffers(out, entryOf->orig(i).differ);
    }
    if (!original) {
        appendKey(out, "folder");
        const std::uint32_t id = entryOf->entry(i).folder;
        if (m_folderList != entryOf) {
            m_folderList = entryOf;
            m_folders.assign(entryOf->folders().size(), std::string());
        }
        std::string &text = m_folders[id];
        if (text.empty())
            appendString(text, entryOf->folders().text(id));
        out += text;
    }
    const bool moved = !original && entryOf->moveRule(i) != MoveRule::None;
    const bool movedList = moved && m_listId == ListId::Moved;
    if (movedList) {
        appendKey(out, "from");
        appendString(out, entryOf->movedPath(i));
    }
    if (d) {
        appendKey(out, "gid");
        appendNumber(out, d->gid);
        appendKey(out, "group");
        out += account(d->gid, true);
        appendKey(out, "inode");
        appendSize(out, d->inode);
        if (!d->linkTarget.isEmpty()) {
            appendKey(out, "link");
            appendString(out, d->linkTarget);
        }
        appendKey(out, "links");
        appendNumber(out, d->links);
    }
    if (!original) {
        appendKey(out, "list");
        out += m_list;
    }
    if (moved) {
        appendKey(out, "matched");
        out += ruleName(entryOf->moveRule(i));
    }
    if (d) {
        appendKey(out, "mode");
        char text[16];
        std::snprintf(text, sizeof text, "\"%04o\"", unsigned(d->mode & 07777));
        out += text;
    }
    appendKey(out, "modified");
    folder ? void(out += "null") : appendTime(out, modified);
    if (moved && !movedList) {
        appendKey(out, "moved");
        appendString(out, entryOf->movedPath(i));
    }
    if (movedList && entryOf->movedAlong(i) > 0) {
        appendKey(out, "movedAlong");
        appendNumber(out, entryOf->movedAlong(i));
    }
    if (!original) {
        appendKey(out, "name");
        appendString(out, entryOf->name(i));
    }
    if (changed) {
        appendKey(out, "original");
        out.push_back('{');
        const OrigValues &o = entryOf->orig(i);
        const Details before = entryOf->origDetails(i);
        appendValues(out, o.size, o.modified, o.attr, &before, nullptr, 0);
        out.push_back('}');
    }
    if (d) {
        appendKey(out, "owner");
        out += account(d->uid, false);
    }
    if (!original && entryOf->hasPackages()) {
        if (m_packages != entryOf->packages()) {
            m_packages = entryOf->packages();
            m_packageTexts.clear();
        }
        const std::uint32_t set = entryOf->packageSet(i);
        auto text = m_packageTexts.find(set);
        if (text == m_packageTexts.end()) {
            std::string json;
            appendString(json, entryOf->packageText(i));
            text = m_packageTexts.emplace(set, std::move(json)).first;
        }
        appendKey(out, "package");
        out += text->second;
    }
    if (d) {
        appendKey(out, "permissions");
        appendString(out, permissionsText(d->mode));
    }
    if (changed && entryOf->hasDetails()) {
        appendKey(out, "rpmFlags");
        appendString(out, changeLetters(entryOf->orig(i).differ));
    }
    if (!original) {
        if (const Digest digest = entryOf->digest(i); hasDigest(digest)) {
            appendKey(out, "sha256");
            out += '"' + digestText(digest).toStdString() + '"';
        }
    }
    appendKey(out, "size");
    folder ? void(out += "null") : appendSize(out, size);
    if (d) {
        appendKey(out, "uid");
        appendNumber(out, d->uid);
    }
}

void JsonLines::append(std::string &out, const SnapshotList &list, int i) {
    const Entry &e = list.entry(i);
    const Details details = list.details(i);
    out.push_back('{');
    appendValues(out, e.size, e.modified, e.attr, &details, &list, i);
    out += "}\n";
}

QByteArray jsonLine(const SnapshotList &list, int i, const QString &listName) {
    std::string out;
    JsonLines(listName).append(out, list, i);
    return QByteArray::fromStdString(out);
}
