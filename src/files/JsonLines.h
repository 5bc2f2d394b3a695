#pragma once

#include "snapshot/ListId.h"

#include <QString>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class OwnerTexts;
class SnapshotList;
struct Details;

// Entries as lines of JSON for other programs to read, one object a line: the list it belongs
// to, its name and In Folder, size, modified time (ISO 8601, local time as the snapshot holds
// it, no zone), attribute text and bits, and the details, digest and owning packages where the
// list holds them; a Changed entry adds the Original's values and which of them differ. A
// folder's size and time are null, as lists show none. Members come in the order of their
// names. Control characters, DEL and the C1 controls are written as \u escapes, so no line holds
// a byte a terminal would take as a command.
//
// Written straight into the output, as a million lines go through here: what many entries
// share (a folder, attributes, owners) is made once.
class JsonLines {
public:
    // The Moved list's entries say where they came from ("from"), an Only list's where they
    // went or came from ("moved").
    explicit JsonLines(const QString &listName, ListId listId = ListId::None);
    // Appends entry i, ended by a line feed.
    void append(std::string &out, const SnapshotList &list, int i);

private:
    void appendValues(std::string &out, std::uint64_t size, double modified, std::int32_t attr,
                      const Details *details, const SnapshotList *entryOf, int i);
    const std::string &attributes(std::int32_t attr);
    const std::string &account(std::uint32_t id, bool group);

    std::string m_list; // the list's name, as a JSON string
    ListId m_listId;
    const void *m_folderList = nullptr;
    std::vector<std::string> m_folders; // by folder number, as JSON strings; empty: not yet made
    std::unordered_map<std::int32_t, std::string> m_attributes;
    std::unordered_map<std::uint64_t, std::string> m_accounts;
    const OwnerTexts *m_packages = nullptr; // whose texts m_packageTexts holds
    std::unordered_map<std::uint32_t, std::string> m_packageTexts; // by set, as JSON strings
};

// One entry's line, as a QByteArray.
QByteArray jsonLine(const SnapshotList &list, int i, const QString &listName);
