// Reading a user's input file (a script, a wallpaper) whole: only a regular
// file, only up to a stated size, and with the system's reason when it
// cannot be read.
#pragma once

#include <cstddef>
#include <string>

namespace hvhost {

// Reads the regular file at path, of at most max_bytes bytes, into
// *content. On failure returns false and sets *error to why, without the
// path: the system's reason ("No such file or directory", "Permission
// denied"), "is a directory", "is not a regular file (a character
// device)", or "is 5000000 bytes; the limit is 4194304 (4 MiB)". A FIFO
// or device is refused without being read, so /dev/zero does not hang.
bool read_regular_file(const std::string &path, size_t max_bytes, std::string *content,
                       std::string *error);

// "4 MiB", "64 KiB", "100 bytes": a byte count as the messages state limits.
std::string byte_size_text(size_t bytes);

// The system's text for an errno value.
std::string system_error_text(int error_number);

}  // namespace hvhost
