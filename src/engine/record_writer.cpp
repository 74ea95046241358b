#include "engine/record_writer.h"

#include <algorithm>

#include "engine/record_format.h"
#include "text/utf.h"

namespace qm {

namespace {

// A stored name as a field. Most names need no escape at all: on POSIX a name
// of plain printable ASCII without backslashes goes as it is.
void appendName(std::string& out, NativeNameView name) {
    if constexpr (sizeof(NameUnit) == 1) {
        const bool plain = std::all_of(name.begin(), name.end(), [](NameUnit u) {
            const auto c = static_cast<unsigned char>(u);
            return c >= 0x20 && c < 0x7F && c != '\\';
        });
        if (plain) {
            out.append(name.begin(), name.end());
            return;
        }
    }
    out += escapeField(text::nameText(name));
}

}  // namespace

RowWriter::RowWriter(const RunPlan& plan, const FolderNames& names, char16_t separator)
    : names_(names),
      source_(escapeField(plan.sourceFolder + separator)),
      shareRoot_(escapeField(plan.shareRoot)),
      separator_(escapeField(std::u16string(1, separator))) {
    for (const std::u16string& name : plan.shareNames) shareNames_.push_back(escapeField(name));
}

void RowWriter::append(std::string& out, const RunRow& row) const {
    const std::size_t shareAt = out.size();
    appendNumber(out, row.share);
    const std::size_t shareEnd = out.size();
    out += '\t';
    out += source_;
    const std::size_t nameStart = out.size();
    appendName(out, names_.name(row.name));
    const std::size_t nameEnd = out.size();
    out += '\t';
    out += shareRoot_;
    if (row.share >= 1 && row.share <= shareNames_.size()) {
        out += shareNames_[row.share - 1];
    } else {
        out.append(out, shareAt, shareEnd - shareAt);
    }
    out += separator_;
    out.append(out, nameStart, nameEnd - nameStart);
}

ManifestWriter::ManifestWriter(std::unique_ptr<RecordFile> file, char16_t separator)
    : file_(std::move(file)), separator_(separator) {}

bool ManifestWriter::start() {
    std::lock_guard lock(mutex_);
    return append(std::string(kRecordMagic) + "\n");
}

bool ManifestWriter::begin(const RunStart& start) {
    rows_ = std::make_unique<RowWriter>(start.plan, start.names, separator_);
    move_ = start.plan.move;
    const char* mode = "copy";
    initial_ = TransferOutcome::Copied;
    if (move_) {
        mode = "move";
        initial_ = TransferOutcome::Moved;
    } else if (start.plan.lists) {
        mode = "lists";
        initial_ = TransferOutcome::Listed;
    } else if (start.plan.link == RunRequest::Link::Hard) {
        mode = "hardlink";
        initial_ = TransferOutcome::Linked;
    } else if (start.plan.link == RunRequest::Link::Symbolic) {
        mode = "symlink";
        initial_ = TransferOutcome::Symlinked;
    } else if (start.plan.link == RunRequest::Link::Clone) {
        mode = "clone";
        initial_ = TransferOutcome::Cloned;
    }
    std::string header = "# seed " + std::to_string(start.plan.seed) + "\n# mode " + mode + "\n# time ";
    appendUtcTime(header, start.time);
    header += "\n# import " + escapeField(start.plan.sourceFolder) + "\n# export " + escapeField(start.targetFolder) +
              "\n# shares " + escapeField(start.plan.shareRoot) + "\n# folders " +
              std::to_string(start.plan.shares.count) + "\n";
    if (start.plan.subfolders) header += "# subfolders\n";
    for (std::size_t k = 0; k < start.plan.shareNames.size(); ++k)
        header += "# name " + std::to_string(k + 1) + " " + escapeField(start.plan.shareNames[k]) + "\n";
    for (const std::u16string& folder : start.made) header += "# made " + escapeField(folder) + "\n";
    std::lock_guard lock(mutex_);
    return append(header);
}

bool ManifestWriter::writeRow(const RunRow& row, TransferOutcome outcome, const FileFacts& facts, const FileId& id,
                              RecordSlot& slot) {
    // One buffer per thread: a run writes a line for every file.
    thread_local std::string line;
    line.clear();
    rows_->append(line, row);
    line += '\t';
    slot.outcomeAt = static_cast<std::uint32_t>(line.size());
    appendOutcome(line, outcome);
    line += '\t';
    appendNumber(line, facts.size);
    line += '\t';
    slot.timeAt = static_cast<std::uint32_t>(line.size());
    appendUtcTime(line, facts.modified);
    line += '\t';
    slot.idAt = static_cast<std::uint32_t>(line.size());
    appendId(line, id);
    line += '\n';
    slot.outcome = outcome;
    slot.facts = facts;
    std::lock_guard lock(mutex_);
    slot.written = append(line, &slot.line);
    return slot.written;
}

bool ManifestWriter::publishing(const RunRow& row, const FileFacts& source, const FileId& appearing,
                                RecordSlot& slot) {
    if (!slot.written) return writeRow(row, initial_, source, appearing, slot);
    // A second attempt (a rename that crossed file systems, then the copy):
    // only another file is about to appear. A source that changed meanwhile
    // no longer matches its line and is not published; a copy whose time its
    // file system could not keep gets its own time written over the line's,
    // where the field keeps its width.
    std::string time;
    if (source.size != slot.facts.size) return false;
    if (source.modified != slot.facts.modified) {
        std::string before;
        appendUtcTime(before, slot.facts.modified);
        appendUtcTime(time, source.modified);
        if (time.size() != before.size()) return false;
    }
    std::string id;
    appendId(id, appearing);
    std::lock_guard lock(mutex_);
    if (!time.empty() && !rewrite(slot.line + slot.timeAt, time)) return false;
    slot.facts = source;
    return rewrite(slot.line + slot.idAt, id);
}

bool ManifestWriter::transferred(const RunRow& row, const TransferResult& result, RecordSlot& slot) {
    const FileId none;
    const FileId& id = result.outcome == TransferOutcome::Failed ? none : result.id;
    if (!slot.written) return writeRow(row, result.outcome, result.facts, id, slot);
    if (result.outcome == slot.outcome) return true;
    // The file did not end as the line said it would (its name was taken, or
    // a move could only copy): the line is corrected where it stands.
    std::string fields;
    appendOutcome(fields, result.outcome);
    std::string idText;
    appendId(idText, id);
    std::lock_guard lock(mutex_);
    slot.outcome = result.outcome;
    return rewrite(slot.line + slot.outcomeAt, fields) && rewrite(slot.line + slot.idAt, idText);
}

bool ManifestWriter::makingFolder(std::uint64_t share, std::u16string_view relative) {
    std::string line = "# folder " + std::to_string(share) + "\t" + escapeField(relative) + "\n";
    std::lock_guard lock(mutex_);
    return append(line);
}

bool ManifestWriter::publishingList(const std::u16string& path, const FileFacts& facts, const FileId& id) {
    std::string line = "# list " + escapeField(path) + "\t";
    appendNumber(line, facts.size);
    line += '\t';
    appendUtcTime(line, facts.modified);
    line += '\t';
    appendId(line, id);
    line += '\n';
    std::lock_guard lock(mutex_);
    return append(line);
}

bool ManifestWriter::end(std::uint64_t notDealt) {
    std::lock_guard lock(mutex_);
    const std::string last = notDealt == 0 ? "# end\n" : "# end interrupted " + std::to_string(notDealt) + "\n";
    return append(last) && file_->close();
}

bool ManifestWriter::append(std::string_view bytes, std::uint64_t* at) {
    if (!ok_) return false;
    if (!file_->writeAt(size_, bytes)) {
        // A line that went in only in part would be read as a garbled one.
        file_->truncate(size_);
        return ok_ = false;
    }
    if (at) *at = size_;
    size_ += bytes.size();
    return true;
}

bool ManifestWriter::rewrite(std::uint64_t at, std::string_view bytes) {
    if (!ok_) return false;
    return ok_ = file_->writeAt(at, bytes);
}

}  // namespace qm
