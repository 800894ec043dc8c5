#pragma once
// The two conversions at the Qt boundary. Stored text (titles, names, style fields) is the
// bytes files hold: UTF-8 when valid, else Latin-1. File names are the file system's own
// bytes and never pass through the text rule: "zoë" in Latin-1 names no file on a UTF-8
// system.

#include <string>

class QString;

// Text: UTF-8 when the bytes are valid UTF-8, else Latin-1; encoded back the same way
// (Latin-1 when every character fits, else UTF-8).
QString ToQString(const std::string& Bytes);
std::string FromQString(const QString& Text);
// Text as UTF-8 whatever its characters, for what must be UTF-8 (GDAL's formats, the terminal,
// text decoded from another encoding): Utf8Text of stored text, Utf8FromQString of Qt's.
std::string Utf8Text(const std::string& Bytes);
std::string Utf8FromQString(const QString& Text);

// File names: the file system's encoding (QFile::decodeName and encodeName).
QString PathToQString(const std::string& Path);
std::string PathFromQString(const QString& Path);

// Between the two, through the characters: a file named after a layer's name, and a file
// name shown or typed where text is (the inspector).
std::string PathFromText(const std::string& Text);
std::string TextFromPath(const std::string& Path);
