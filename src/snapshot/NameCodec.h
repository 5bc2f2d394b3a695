#pragma once

#include <QString>
#include <QStringView>
#include <string_view>

// A POSIX file name is any string of bytes but '/' and NUL; a name in a list is text that the
// lists, the files and the keys can hold. The text of a name is its bytes read as UTF-8, except
// that "|" and two upper-case hex digits stand for one byte that cannot stand as itself:
//   - a byte that is not part of valid UTF-8 (a name from an older system's code page),
//   - "\", which separates the folders of In Folder and the match key,
//   - "|" itself, and the control characters 0x01 to 0x1F and 0x7F (line breaks, tabs).
// So every name has exactly one text, two names never share one, and the bytes come back from
// the text (each "|XX" gives its byte, the rest is UTF-8). Windows names hold none of these
// bytes and keep their text as it is.
namespace NameCodec {

QString fromBytes(std::string_view bytes);
// Appends the text of `bytes` as UTF-16 code units.
void appendText(std::u16string &out, std::string_view bytes);

} // namespace NameCodec
