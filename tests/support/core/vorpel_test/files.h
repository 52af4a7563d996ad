#pragma once

// Whole files written and read in one call.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

// Writes a new file at path (an old one is removed first rather than
// truncated: rewriting a truncated file makes some file systems flush it).
// Throws when the file cannot be written.
void WriteFile(const std::filesystem::path& path, std::string_view content);

// Every byte of the file; throws when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// The permission bits of path itself (a link is not followed).
std::filesystem::perms PermissionsOf(const std::filesystem::path& path);

// The names of the atomic writer's new files in folder, sorted: what a
// Write that did not finish would leave behind. Empty for a missing folder.
std::vector<std::string> StrayFiles(const std::filesystem::path& folder);

}  // namespace vorpel::test
