#pragma once

// Bytes and lists of items written for failure messages.

#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

// Bytes shown with C escapes, in double quotes, for failure messages about
// binary text.
std::string Escaped(std::string_view bytes);
// The items escaped, in braces: {"a", "b\x00"}.
std::string Escaped(const std::vector<std::string>& items);

// Empty when the two lists are equal; otherwise where they first differ.
// For lists too long to print whole.
std::string FirstDifference(const std::vector<std::string>& got,
                            const std::vector<std::string>& expected);

}  // namespace vorpel::test
