// Whole-buffer reads and writes on file descriptors, shared by the copy and
// the text file. Both retry after interruptions and short transfers.
#pragma once

#include <cstddef>

namespace qm::posix {

// Writes all `size` bytes; false on any error.
bool writeAll(int fd, const char* data, std::size_t size);

// Reads until `size` bytes or the end of the file; the count read, or -1 on error.
long readFull(int fd, char* buffer, std::size_t size);

}  // namespace qm::posix
