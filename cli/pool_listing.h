#pragma once

#include <span>
#include <string>
#include <string_view>

#include "byte_sink.h"
#include "file_error.h"
#include "sequence_pool.h"
#include "text_encoding.h"

namespace vorpel {

// How a source's encoding is named in a listing: "UTF-8", "8-bit" or
// "bytes".
std::string_view EncodingName(TextEncoding encoding);

// item with the escapes of a listing, so that it fits on one line and can
// be read back whole: a backslash as \\, line feed, carriage return and tab
// as \n \r \t, every other control byte (0x00 to 0x1F, 0x7F) as \xHH with
// upper-case hex digits, and so is every byte from 0x80 up that is not part
// of a whole UTF-8 character: all of them in an 8-bit item, and in a UTF-8
// item the stray that closed a word.
std::string EscapeItem(std::string_view item, TextEncoding encoding);

// Writes the items of every part, part after part, one a line as
// EscapeItem gives them (in its part's own encoding), then a last line
// with the number of items and each source's name and encoding:
// "3 sequences; a.txt: UTF-8; b.txt: 8-bit", or when the sequences
// overlap "3 overlapping sequences; ...". names[i] names parts[i] (escaped too, as
// UTF-8: every byte that is no part of a character as \xHH). Written in
// large blocks.
FileStatus WritePoolListing(std::span<const SequencePool> parts, std::span<const std::string> names,
                            ByteSink& sink, bool overlapping = false);

}  // namespace vorpel
