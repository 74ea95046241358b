#include "platform/win32/win32_console.h"

#include <windows.h>

#include <algorithm>
#include <streambuf>
#include <string>

#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm::win32 {

namespace {

// Bytes at the end of `s` that start a UTF-8 sequence not yet complete.
std::size_t incompleteTail(const std::string& s) {
    for (std::size_t back = 1; back <= 3 && back <= s.size(); ++back) {
        const unsigned char c = static_cast<unsigned char>(s[s.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

constexpr char kClearToEndOfLine[] = "\x1b[K";

}  // namespace

class StandardStream::Buffer : public std::streambuf {
public:
    explicit Buffer(HANDLE handle) : handle_(handle) {
        DWORD mode = 0;
        console_ = handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
        // Consoles of Windows 10 and later understand escape sequences once
        // asked to; older ones get the text without them.
        constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
        escapes_ = console_ && SetConsoleMode(handle, mode | kVirtualTerminal);
    }
    ~Buffer() override { sync(); }

    bool isConsole() const { return console_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_.push_back(traits_type::to_char_type(c));
        if (c == '\n') sync();
        return c;
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        if (pending_.find('\n') != std::string::npos) sync();
        return n;
    }

    int sync() override {
        const std::size_t keep = incompleteTail(pending_);
        std::string ready = pending_.substr(0, pending_.size() - keep);
        pending_.erase(0, pending_.size() - keep);
        if (ready.empty()) return 0;
        return (console_ ? toConsole(ready) : toFile(ready)) ? 0 : -1;
    }

private:
    bool toConsole(const std::string& utf8) {
        if (escapes_) return writeConsole(utf8);
        // A console without escape sequences (before Windows 10): the one
        // the batch uses, clearing the rest of the line, is done by hand.
        for (std::size_t at = 0;;) {
            const std::size_t escape = utf8.find(kClearToEndOfLine, at);
            if (!writeConsole(utf8.substr(at, escape - at))) return false;
            if (escape == std::string::npos) return true;
            clearToEndOfLine();
            at = escape + sizeof kClearToEndOfLine - 1;
        }
    }

    bool writeConsole(const std::string& utf8) {
        const std::wstring text = wide(text::fromUtf8(utf8));
        for (std::size_t at = 0; at < text.size();) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
            if (!WriteConsoleW(handle_, text.data() + at, want, &n, nullptr) || n == 0) return false;
            at += n;
        }
        return true;
    }

    void clearToEndOfLine() {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(handle_, &info)) return;
        const DWORD length = static_cast<DWORD>(info.dwSize.X - info.dwCursorPosition.X);
        DWORD written = 0;
        FillConsoleOutputCharacterW(handle_, L' ', length, info.dwCursorPosition, &written);
    }

    bool toFile(const std::string& utf8) {
        std::string bytes;
        bytes.reserve(utf8.size() + 16);
        for (char c : utf8) {
            if (c == '\n' && last_ != '\r') bytes.push_back('\r');
            bytes.push_back(c);
            last_ = c;
        }
        for (std::size_t at = 0; at < bytes.size();) {
            DWORD n = 0;
            if (!WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &n, nullptr) || n == 0)
                return false;
            at += n;
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    bool escapes_ = false;
    char last_ = 0;  // the last byte written to a file
    std::string pending_;
};

StandardStream::StandardStream(Which which)
    : std::ostream(nullptr),
      buffer_(std::make_unique<Buffer>(GetStdHandle(which == Which::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE))) {
    rdbuf(buffer_.get());
}

StandardStream::~StandardStream() { flush(); }

bool StandardStream::isConsole() const { return buffer_->isConsole(); }

void quietCriticalErrors() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

}  // namespace qm::win32
