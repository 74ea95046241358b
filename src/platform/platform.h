// The one interface between the window model and the outside world.
//
// The core (window/, engine/, settings/, folders/) reaches files, dialogs,
// message boxes, programs and the clock only through this class, so the same
// rules run headless in tests, behind Qt on Linux and later behind Win32.
// Every text crosses this boundary as UTF-16; an implementation converts at
// its own edge.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// How paths are spelt on the platform. The dispatch rules were written for
// drive-letter paths ("C:\photos"); on a system without drive letters the
// "drive" part of a path is simply absent.
struct PathStyle {
    char16_t separator = u'/';
    bool driveLetters = false;
};

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { Information, Critical };
enum class MsgResult { Ok, Cancel };

struct MessageBoxRequest {
    std::u16string prompt;  // may hold "\r\n" line breaks
    std::u16string title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::Information;
    int defaultButton = 0;  // 0 = first button, 1 = second
};

// What became of one file handed to copyFile or moveFile.
enum class TransferOutcome {
    Done,             // the destination now holds the file
    AlreadyThere,     // a file of that name with the same content was already there; nothing touched
    Failed,           // nothing at the destination was created or replaced
};

// A text file that receives whole lines; the implementation converts each line
// to the system's narrow encoding and ends it with CR LF.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual bool writeLine(const std::u16string& line) = 0;
    virtual bool close() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual PathStyle pathStyle() const = 0;

    // --- files -------------------------------------------------------------
    // Names (without folder) of the regular files in `folder` that match at
    // least one of the ";"-separated wildcards of `pattern`, hidden files
    // included, in a fixed order by name. nullopt when the folder cannot be
    // listed (missing, not a folder, no permission).
    virtual std::optional<std::vector<std::u16string>> listFiles(const std::u16string& folder,
                                                                 const std::u16string& pattern) = 0;
    virtual bool pathExists(const std::u16string& path) = 0;    // file or folder
    virtual bool folderExists(const std::u16string& path) = 0;
    // Creates every missing folder of the path, top down; the text after the
    // last separator is not taken as a folder. Returns whether the folder exists afterwards.
    virtual bool makeFolders(const std::u16string& pathEndingInSeparator) = 0;
    // Copy keeping modification time and permission bits; never replaces a file
    // already at the destination and never leaves a partial copy behind.
    virtual TransferOutcome copyFile(const std::u16string& from, const std::u16string& to) = 0;
    // Rename without replacing. Failed covers every reason (a clash, another
    // device, ...): the caller falls back to a copy, which sorts out clashes.
    virtual TransferOutcome moveFile(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool deleteFile(const std::u16string& path) = 0;
    // Creates (replacing) a text file; nullptr when it cannot be created.
    virtual std::unique_ptr<TextFile> createTextFile(const std::u16string& path) = 0;
    // Where the failure log goes, best place first.
    virtual std::vector<std::u16string> failureLogPaths() = 0;

    // --- the user ----------------------------------------------------------
    virtual MsgResult messageBox(const MessageBoxRequest& request) = 0;
    virtual void beep() = 0;
    // The folder dialog: the chosen folder as the dialog gives it, or empty
    // when cancelled or when the choice has no file-system path.
    virtual std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                           bool newStyle) = 0;
    // Opens a folder, a document or an address in the desktop's own program,
    // without waiting; a failure is silently ignored.
    virtual void openInDesktop(const std::u16string& target) = 0;
    virtual void showPointingCursor() = 0;
    // Called between files during a run so that a window can repaint; it must
    // not deliver user input.
    virtual void keepResponsive() {}

    // --- the system --------------------------------------------------------
    virtual std::u16string environmentVariable(const std::u16string& name) = 0;
    // The operating system's version record, when the system has one.
    struct VersionRecord {
        std::uint32_t major = 0, minor = 0, platformId = 0;
    };
    virtual std::optional<VersionRecord> versionRecord() = 0;
    virtual std::u16string programFolder() = 0;
    // A seed taken from the clock at sub-second resolution.
    virtual std::uint64_t clockSeed() = 0;
};

}  // namespace qm
