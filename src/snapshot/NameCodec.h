#pragma once

#include <QByteArray>
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
// The bytes a name's text stands for: each "|" and two upper-case hex digits its byte, the rest
// UTF-8. The reverse of fromBytes.
QByteArray toBytes(QStringView text);
// The path of an entry below its root as the file system takes it: the folders of its In Folder
// text and its name, as bytes, joined by "/". Empty when a folder or the name is no name a file
// system holds ("", ".", "..", one holding "/" or a NUL), as a crafted snapshot may have it.
QByteArray pathBytes(QStringView folder, QStringView name);
// Appends the text of `bytes` as UTF-16 code units.
void appendText(std::u16string &out, std::string_view bytes);

// A path as the system gives it (a command-line argument) in a text that leads back to its
// bytes: valid UTF-8 as its characters, any other byte b as the lone surrogate U+DC00 + b,
// which no text decoded from UTF-8 holds. Qt's own conversion turns such bytes into U+FFFD, and
// the file then opened or written would be another one.
QString pathFromBytes(std::string_view bytes);
QByteArray pathToBytes(QStringView path);

// A text as it may reach a terminal: the C0 controls, DEL and the C1 controls U+0080 to U+009F
// as "|" and two hex digits of their code point, and a lone surrogate U+DC80 to U+DCFF (a byte
// of a path that is not UTF-8) as "|" and that byte; any other lone surrogate, which no UTF-8
// can carry, as U+FFFD. Everything else stands as it is, "|" too, so a name keeps the text the
// lists show. A terminal takes control characters as commands (ESC and CSI start sequences
// that retitle, clear or answer back), so every text printed goes through here first.
QString printable(const QString &text);
void appendPrintable(QString &out, QStringView text);

} // namespace NameCodec
