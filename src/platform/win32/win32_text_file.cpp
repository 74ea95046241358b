// The failure log's file: lines in the ANSI code page ending in CR LF, as the
// system's own programs read them; UTF-8 with a byte-order mark once a line
// holds a character that the code page cannot.
//
// The log's places are shared (the root of C:, the temporary folder), so its
// name is never trusted: the file is created exclusively, and an old file is
// deleted rather than opened through its name (deleting a link removes the
// link, not what it leads to). A running run keeps its log open without
// FILE_SHARE_DELETE, so a second run cannot delete it and moves on to its
// next place.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

class Win32TextFile : public TextFile {
public:
    explicit Win32TextFile(HANDLE file) : file_(file) {}
    ~Win32TextFile() override {
        if (file_ != INVALID_HANDLE_VALUE) close();
    }

    bool writeLine(const std::u16string& line) override {
        if (file_ == INVALID_HANDLE_VALUE) return false;
        if (!utf8_) {
            if (std::optional<std::string> ansi = win32::toAnsi(line)) {
                buffer_ += *ansi;
            } else {
                switchToUtf8();
            }
        }
        if (utf8_) buffer_ += text::toUtf8(line);
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushAt) flush();
        return ok_;
    }

    bool close() override {
        if (file_ == INVALID_HANDLE_VALUE) return ok_;
        flush();
        if (!CloseHandle(file_)) ok_ = false;
        file_ = INVALID_HANDLE_VALUE;
        return ok_;
    }

    bool flush() override {
        if (ok_ && !writeAll(buffer_)) ok_ = false;
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;

    bool writeAll(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
            if (!WriteFile(file_, bytes.data() + at, want, &n, nullptr) || n == 0) return false;
            at += n;
        }
        return true;
    }

    // Everything written so far is read back, turned into UTF-8 behind a
    // byte-order mark and written over the file from its start: one log is in
    // one encoding, or a reader would garble half of it.
    void switchToUtf8() {
        utf8_ = true;
        flush();
        if (!ok_) return;
        std::string ansi;
        LARGE_INTEGER size{}, start{};
        if (!GetFileSizeEx(file_, &size) || !SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) {
            ok_ = false;
            return;
        }
        ansi.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ansi.empty() && (!ReadFile(file_, ansi.data(), static_cast<DWORD>(ansi.size()), &got, nullptr) ||
                              got != ansi.size())) {
            ok_ = false;
            return;
        }
        if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) {
            ok_ = false;
            return;
        }
        buffer_ = kByteOrderMark + text::toUtf8(win32::fromAnsi(ansi));
        flush();
        // UTF-8 is never shorter than the ANSI text; should it be, nothing
        // of the old text may stay behind.
        if (ok_ && !SetEndOfFile(file_)) ok_ = false;
    }

    HANDLE file_;
    bool ok_ = true;  // false from the first failed write on
    bool utf8_ = false;
    std::string buffer_;
};

}  // namespace

std::unique_ptr<TextFile> Win32System::createTextFile(const std::u16string& path) {
    const std::wstring name = win32::filePath(path);
    // Twice at most: once more after deleting an old file; when someone takes
    // the name again in between, the next place is the better choice.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Read access too: the switch to UTF-8 reads back what was written.
        HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return std::make_unique<Win32TextFile>(file);
        const DWORD why = GetLastError();
        if ((why != ERROR_FILE_EXISTS && why != ERROR_ALREADY_EXISTS) || !DeleteFileW(name.c_str())) return nullptr;
    }
    return nullptr;
}

}  // namespace qm
