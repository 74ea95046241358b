#include "engine/failure_log.h"

namespace qm {

namespace {

constexpr char16_t kHeader[] = u"分发失败记录列表详情：";

}  // namespace

FailureLog::FailureLog(System& system) : system_(system), places_(system.failureLogPaths()) {
    lines_ = kHeader;
    lines_ += u'\n';
}

FailureLog::FailureLog(System& system, std::u16string_view name) : system_(system), places_(system.failureLogPaths()) {
    const char16_t separator = system.pathStyle().separator;
    for (std::u16string& place : places_) place = place.substr(0, place.rfind(separator) + 1) + std::u16string(name);
}

void FailureLog::removeEarlier() {
    // An earlier log is made afresh (which removes it unless a running run
    // holds it) and removed again. Where there is none, nothing is made: a
    // run killed between making and removing would leave an empty log.
    for (const std::u16string& place : places_) {
        if (!system_.pathExists(place)) continue;
        if (std::unique_ptr<TextFile> file = system_.createTextFile(place)) {
            file->close();
            file.reset();
            system_.deleteFile(place);
            return;
        }
    }
}

bool FailureLog::moveOn() {
    if (file_) {
        // A log cut short would tell less than happened: it goes.
        file_.reset();
        system_.deleteFile(path_);
        path_.clear();
    }
    while (next_ < places_.size()) {
        const std::u16string& place = places_[next_++];
        std::unique_ptr<TextFile> file = system_.createTextFile(place);
        if (!file) continue;
        bool written = true;
        for (std::size_t start = 0; written && start < lines_.size();) {
            const std::size_t end = lines_.find(u'\n', start);
            written = file->writeLine(lines_.substr(start, end - start));
            start = end + 1;
        }
        // On disk at once: a run killed right after its first failure leaves
        // a log that shows it, never an empty one.
        written = written && file->flush();
        file_ = std::move(file);
        path_ = place;
        if (written) return true;
        file_.reset();
        system_.deleteFile(place);
        path_.clear();
    }
    return false;
}

bool FailureLog::write(const std::u16string& line) {
    const bool first = !file_ && next_ == 0;
    lines_ += line;
    lines_ += u'\n';
    if (first) return moveOn();  // the header and this line
    if (!file_) return false;
    return file_->writeLine(line) || moveOn();
}

void FailureLog::add(const std::u16string& source, const std::u16string& destination) {
    write(source + u"  →  " + destination);
}

void FailureLog::close() {
    while (file_ && !closed_) {
        if (file_->close()) {
            closed_ = true;
        } else if (!moveOn()) {
            break;
        }
    }
    file_.reset();
}

}  // namespace qm
