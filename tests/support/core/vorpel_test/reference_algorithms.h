#pragma once

// Slow, literal versions of the reading and the capitalization fix: one
// character at a time through a stream that offers only AtEndOfStream and
// Read(1), strings built by appending, and no search, table or block of
// any kind. The engine's fast versions are compared against these.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

// The pool's items for a source text. unit_mode 1 cuts letters, 2 words;
// a word runs up to and including the first byte that occurs in word_sep,
// and one cut off by the end of the source is closed by word_sep's first
// byte. A seq_length of 0 or less gives no items: a pass would take no
// unit and the passes would never end.
std::vector<std::string> ReferenceRead(std::string_view source, std::int16_t seq_length,
                                       std::int16_t unit_mode, const std::string& word_sep);

// The pool's items when sequences overlap, one starting at every unit: the
// units are read as ReferenceRead reads them, and a sequence that holds
// seq_length units loses its first one each time the next unit comes
// (letters: the next character is appended and the last seq_length
// characters kept; words: the characters up to and including the first
// separator are removed from the front, then the next word appended).
// Every full sequence is an item; a source of fewer units gives one item
// of all of them. A seq_length of 0 or less gives no items.
std::vector<std::string> ReferenceReadOverlapping(std::string_view source, std::int16_t seq_length,
                                                  std::int16_t unit_mode,
                                                  const std::string& word_sep);

// The text the fixer writes for an intermediate text: the first character,
// and after a byte of marks the next character that is no byte of
// word_sep, become capitals when they are 'a' to 'z' (any other character
// there, a digit or a capital, stays as it is and ends the wait as well).
std::string ReferenceFix(std::string_view intermediate, const std::string& word_sep,
                         const std::string& marks);

}  // namespace vorpel::test
