// The mark a record gets once its run was taken back: a last line
// "# undone <time>". A killed run's record may end in a line it was writing
// and in the room it had reserved for more (zero bytes); the mark goes
// where those begin, so that a reader meets it where the record ends.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

// Reads up to `size` bytes at `offset`; the count, or -1.
using ReadAt = std::function<long long(std::uint64_t offset, char* buffer, std::size_t size)>;

// Where the record's whole lines end: after its last line end, zero bytes
// and a line cut short after it left out. nullopt when it cannot be read.
std::optional<std::uint64_t> endOfLines(std::uint64_t size, const ReadAt& read);
// Whether the record's last line (after its zeros, if any) is the mark.
bool markedUndone(InputFile& record);
// Writes the mark where endOfLines says, and cuts the file there.
bool markUndone(RecordFile& record, const FileTime& now);
// The same for the record at `path` (a manifest named on the command line),
// reached through its folder; the name is not followed when it is a link.
bool markUndone(System& system, const std::u16string& path);

}  // namespace qm
