// Reading the record of a run back, as a stream: a record of a million rows
// is never held whole, and a garbled one is refused at its first bad line.
//
// A record is untrusted input (it may have been edited by hand, or made to
// mislead): every row must lie where the header says the run worked. Its
// destination lies directly in share folder k of the share root, its
// source directly in the import folder, and both have the same name. A
// file is a record only when its first line says so; zero bytes are the
// unwritten room a killed run reserved only where nothing but zeros (and
// the mark of an undo) follows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_types.h"

namespace qm {

struct RecordHeader {
    std::uint64_t seed = 0;
    bool move = false;
    // How the run dealt: copied, moved, linked (hard or symbolic), cloned,
    // or only listed.
    enum class Mode { Copy, Move, HardLink, SymLink, Clone, Lists };
    Mode mode = Mode::Copy;
    bool subfolders = false;             // rows' names are paths below the import folder
    std::vector<std::u16string> names;   // share k's name; empty: the shares are numbered
    std::optional<FileTime> time;
    std::u16string importFolder, targetFolder, shareRoot;
    std::uint64_t folders = 0;  // share folders 1 to this
    // The folders the run made on the way from the export folder to the
    // shares (a kept whole path), outermost first.
    std::vector<std::u16string> made;
    // False for the record of a run killed before it began: nothing but the
    // first line, and nothing done.
    bool begun = true;
};

struct RecordRow {
    // A file of the run; a folder below share `share` the run made
    // (`name`, relative to the share); or a list the run wrote
    // (`destination`, with its stamp).
    enum class Kind { File, Folder, List };
    Kind kind = Kind::File;
    std::uint64_t share = 0;
    std::u16string source, destination, name;
    TransferOutcome outcome = TransferOutcome::Failed;
    FileStamp stamp;  // the file as the run left it at the destination
};

class RecordReader {
public:
    RecordReader(InputFile& file, char16_t separator);

    // Reads the header; false with `error` set (UTF-8) when this is not a
    // record that can be read.
    bool readHeader(RecordHeader& header, std::string& error);
    // The next row; false at the end, or with `error` set at a bad line.
    bool next(RecordRow& row, std::string& error);

    enum class Ending { Missing, Complete, Interrupted };
    // Known once next() has returned false without an error.
    Ending ending() const { return ending_; }
    std::uint64_t notDealt() const { return notDealt_; }
    // Whether a "# undone" line was met: the run was taken back before.
    bool undone() const { return undone_; }

private:
    // A "# folder" or "# list" line as a row.
    bool folderOrList(std::string_view text, RecordRow& row, std::string& error);
    // The next line without its end; false at the end of the file. A last
    // line without a line end is one that was being written when the run
    // was killed: it is passed over (`partial`).
    bool line(std::string_view& text, std::string& error);
    // From a zero byte at `at` in the buffer on, the rest of the file: the
    // room a killed run had reserved (zeros to the end), perhaps followed by
    // "# undone" lines; false with `error` set for anything else.
    bool zeroTail(std::size_t at, std::string& error);
    bool refill(std::string& error);
    std::string where() const;

    InputFile& file_;
    char16_t separator_;
    RecordHeader header_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0;  // unread bytes in buffer_
    bool eof_ = false;
    bool cut_ = false;  // the file ends in a line a killed run was writing
    std::string partial_;  // the start of that line
    std::uint64_t number_ = 0;  // of the line last read
    std::string pending_;       // a header line read ahead
    bool havePending_ = false;
    std::u16string importPrefix_, sharePrefix_;  // where rows' sources and destinations begin
    std::uint64_t prefixShare_ = 0;              // the share of sharePrefix_
    Ending ending_ = Ending::Missing;
    std::uint64_t notDealt_ = 0;
    bool undone_ = false;
};

// Share root, share number and separator as one path: "<root><k><sep>".
std::u16string sharePath(const std::u16string& shareRoot, std::uint64_t share, char16_t separator);
// Share k's name after the root: its recorded name, or its number.
std::u16string shareNameIn(const RecordHeader& header, std::uint64_t share);

}  // namespace qm
