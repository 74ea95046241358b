// Everything a run needs, as a plain value: the window builds one from its
// controls, the command line from its options, and the engine plans and
// carries it out the same way whoever asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

struct RunRequest {
    // The import folder as the user named it (a trailing separator or not),
    // and the export folder under which the share folders are made.
    std::u16string importFolder;
    std::u16string exportFolder;
    // Below the export folder: the import folder's whole path (less its
    // drive), or only its own name.
    bool keepWholePath = false;
    // Fixed: `count` files per share, the last share taking the rest.
    // Average: `count` equal shares, and one more for the files left over.
    enum class Mode { Fixed, Average };
    Mode mode = Mode::Average;
    std::uint64_t count = 5;  // from 1; more than the files is taken as the files
    bool move = false;
    std::uint64_t seed = 0;
    // Files whose names differ only in the extension go into the same share.
    bool companions = false;
    // How many of the list's files are dealt, from its first on (the
    // window's count, which could lag behind the list); all when unset.
    std::optional<std::uint64_t> files;

    // Shares in proportion to these weights instead of the mode and count
    // (no share for the files left over), and with `shareNames` share k's
    // folder is the share root followed by its name instead of its number.
    std::vector<std::uint64_t> ratio;
    std::vector<std::u16string> shareNames;
    // The files of the import folder's subfolders too, each keeping its
    // folder below its share; with `byFolder` each folder's own files are
    // dealt on their own with the same shares (a count of shares, as a
    // ratio of ones), so that every share gets its part of every folder.
    bool subfolders = false;
    bool byFolder = false;
    // Instead of copying (never with `move`): a hard link, a symbolic link
    // to the source's path, or a clone (copy-on-write, a copy where the file
    // system cannot).
    enum class Link { None, Hard, Symbolic, Clone };
    Link link = Link::None;
    // Nothing transferred: one list per share of the files it would get.
    bool lists = false;
    // This many files, drawn at random, go into every share (never moved),
    // and are listed in "<share root>共同.txt"; the rest are dealt.
    std::uint64_t common = 0;
    // How many files are transferred at once; unset: enough to keep a cold
    // disk or a network share busy. Whatever the number, the same seed deals
    // the same files into the same shares.
    std::optional<unsigned> jobs;

    // Where the run is recorded, so that it can be taken back: nowhere, in
    // a manifest that must be made before anything else (a run that cannot
    // be recorded there does not start), or among the window's records
    // (which never stop or change a run: should one fail, the run goes on).
    enum class Record { None, Manifest, WindowRecords };
    Record record = Record::None;
    std::u16string manifest;  // with Record::Manifest: its path
};

class System;
// The number of transfers at once the environment asks for
// (QUILLMARSH_JOBS, 1 to 999); nothing when it asks for none.
std::optional<unsigned> jobsAsked(System& system);
// The same read from the variable's text.
std::optional<unsigned> jobsIn(std::u16string_view text);

}  // namespace qm
