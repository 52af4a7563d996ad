#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace vorpel {

// The one place where the windows turn Qt's text into the engine's bytes and
// paths and back. Nothing else in the window layer converts.
//
// The rules:
// - What the user types into a field reaches the engine as the field's text
//   in UTF-8: the word separator (SeparatorBytes), the sequence length and
//   the number of sequences (NumberText). The separator is the user's
//   characters; the engine matches them against each source in its own
//   encoding (whole characters of a UTF-8 source; in an 8-bit source the
//   Latin-1 or Windows-1252 byte that stands for each, so "é" typed is
//   byte E9 there and an em dash byte 97).
// - A path typed into a field is handed to the file system in its own
//   encoding (QFile::encodeName; on Linux, UTF-8) and is not trimmed.
// - The engine's own texts (dialog names, messages, the separator shown back
//   in its field) are read as UTF-8, and a path inside an engine message is
//   read in the file system's encoding.

// The engine's UTF-8 bytes, or the program's own texts, as a QString.
QString ToQString(std::string_view utf8);

// A QString as the engine's bytes, UTF-8.
std::string ToBytes(const QString& text);

// The word separator as typed, as the bytes the engine stores in WordSep
// (any text is a separator, the empty one included: it is not checked).
std::string SeparatorBytes(const QString& field_text);

// A number as typed (the sequence length, the number of sequences), as the
// text the engine checks and converts (IsNumericText, ToInt16, ...).
std::string NumberText(const QString& field_text);

// A path exactly as typed into a field, in the file system's encoding.
std::filesystem::path PathFromField(const QString& field_text);

// Bytes in the file system's encoding (a path, or a message naming one) as
// a QString.
QString FromFileSystemBytes(std::string_view bytes);

}  // namespace vorpel
