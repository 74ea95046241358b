// The standard output and error of a console program, for text in UTF-8.
//
// A console gets the text through WriteConsoleW, so Chinese shows whatever
// the console's code page; a file or pipe gets the UTF-8 bytes with CR LF
// line ends, as Windows programs read text. Lines are passed on whole.
#pragma once

#include <memory>
#include <ostream>

namespace qm::win32 {

class StandardStream : public std::ostream {
public:
    enum class Which { Output, Error };
    explicit StandardStream(Which which);
    ~StandardStream() override;

    // Whether the stream goes to a console (and not to a file or pipe).
    bool isConsole() const;

private:
    class Buffer;
    std::unique_ptr<Buffer> buffer_;
};

// A program without a window keeps the system's error boxes away (a drive
// without a medium would otherwise ask the user to insert one).
void quietCriticalErrors();

}  // namespace qm::win32
