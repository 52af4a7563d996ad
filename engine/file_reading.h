#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "byte_buffer.h"
#include "file_error.h"

namespace vorpel {

/**
 * True when something that is not a folder exists at path (links are
 * followed). False for an empty path, a folder and a dangling link: the
 * test the Read command and the overwrite check make before touching a file.
 */
bool FileExists(const std::filesystem::path& path);

/**
 * Reads the whole file at path into out, leaving at least spare bytes of
 * capacity after the content (the reader closes a last word there).
 * Regular files and pipes are read; folders and devices are refused. On
 * failure out is left empty.
 *
 * **Example**:
 *
 *     ByteBuffer text;
 *     if (FileStatus error = ReadWholeFile("source.txt", text, 1)) ...
 */
FileStatus ReadWholeFile(const std::filesystem::path& path, ByteBuffer& out, std::size_t spare = 0);

/**
 * As above, and calls observe with each piece of the content right after it
 * has been read, in order (pieces of at most 256 KiB, so that observe finds
 * them still in the processor's cache). A check of the whole text then
 * costs little more than the read.
 */
FileStatus ReadWholeFile(const std::filesystem::path& path, ByteBuffer& out, std::size_t spare,
                         const std::function<void(std::string_view)>& observe);

/**
 * Calls consume with consecutive blocks of the file's content, each at most
 * block_size bytes and writable so a filter can work in place. Stops at the
 * first error, its own or consume's. With follow_links false a symbolic
 * link at path is refused.
 */
FileStatus ForEachBlock(const std::filesystem::path& path, bool follow_links,
                        std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume);

/**
 * The same over an open descriptor, from its current offset to its end;
 * read errors name shown_path.
 */
FileStatus ForEachBlock(int fd, std::string_view shown_path, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume);

}  // namespace vorpel
