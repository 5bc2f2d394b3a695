#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <string>

// Text fields of the snapshot and CSV files are UTF-8. In a snapshot file that says it holds
// escapes, characters a field cannot hold (control characters, the double quote) and the escape
// character "|" itself are written as "|" and two hex digits of the character; any other file
// keeps every "|" as it stands.
namespace TextCodec {

// Whether the text holds a character that only an escape can carry.
bool needsEscape(QStringView text);
void appendEscapedUtf8(std::string &out, QStringView text);
void appendUtf8(std::string &out, QStringView text);

bool isValidUtf8(const char *data, std::size_t size);

enum class Encoding { Utf8, Windows1252 };

// Decodes a field's bytes and resolves the escapes. Returns false when the bytes are not valid
// in the encoding (only UTF-8 can fail).
bool decodeField(const char *data, std::size_t size, Encoding encoding, bool unescape,
                 QString &out);

} // namespace TextCodec
