// Open folders and whole files: facts, comparison, reading, removing an
// empty folder, and a file written in one piece.
#include <windows.h>

#include <string>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace win32 {

Win32Folder::Win32Folder(std::u16string path) : OpenFolder(path), prefix_(std::move(path)) {
    if (!prefix_.empty() && prefix_.back() != u'\\' && prefix_.back() != u'/') prefix_ += u'\\';
}

namespace {

// Written under a hidden temporary name beside the target, marked to go when
// closed; commit() clears the mark and renames it over the target, so the
// target is either the old file or the whole new one.
class Win32PendingFile : public PendingFile {
public:
    Win32PendingFile(std::wstring target, std::wstring temporary, Handle file)
        : target_(std::move(target)), temporary_(std::move(temporary)), file_(std::move(file)) {}

    bool write(std::string_view bytes) override {
        ok_ = ok_ && writeAll(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()));
        return ok_;
    }
    bool commit() override {
        if (!ok_ || !markForDeletion(file_.get(), false)) return false;
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;  // no longer hidden
        SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic);
        if (!file_.close() || !MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            removeTemporary(temporary_);
            return false;
        }
        return true;
    }

private:
    std::wstring target_, temporary_;
    Handle file_;
    bool ok_ = true;
};

}  // namespace

}  // namespace win32

std::unique_ptr<OpenFolder> Win32Platform::openFolder(const std::u16string& path) {
    if (!folderExists(path)) return nullptr;
    return std::make_unique<win32::Win32Folder>(path);
}

std::optional<FileFacts> Win32Platform::fileFacts(const std::u16string& path) {
    win32::FileInfo info;
    if (!win32::openRegular(path, info).valid()) return std::nullopt;
    return info.facts();
}

bool Win32Platform::sameContent(const std::u16string& a, const std::u16string& b) {
    win32::FileInfo ia, ib;
    win32::Handle fa = win32::openRegular(a, ia), fb = win32::openRegular(b, ib);
    return fa.valid() && fb.valid() && ia.size() == ib.size() && win32::sameBytes(fa.get(), fb.get());
}

bool Win32Platform::removeEmptyFolder(const std::u16string& path) {
    return RemoveDirectoryW(win32::filePath(path).c_str()) != 0;
}

std::optional<std::string> Win32Platform::readFile(const std::u16string& path) {
    win32::Handle file(CreateFileW(win32::filePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    win32::FileInfo info;
    if (!file.valid() || !win32::isRegular(file.get(), info, false)) return std::nullopt;
    std::string bytes(info.size(), '\0');
    if (win32::readFull(file.get(), bytes.data(), static_cast<DWORD>(bytes.size())) !=
        static_cast<long long>(bytes.size()))
        return std::nullopt;
    return bytes;
}

std::unique_ptr<PendingFile> Win32Platform::createPendingFile(const std::u16string& path) {
    const std::wstring temporary = win32::filePath(win32::temporaryNameBeside(path));
    win32::Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file.valid()) return nullptr;
    if (!win32::markForDeletion(file.get(), true)) {
        file.close();
        win32::removeTemporary(temporary);
        return nullptr;
    }
    return std::make_unique<win32::Win32PendingFile>(win32::filePath(path), temporary, std::move(file));
}

}  // namespace qm
