#include "engine/failure_log.h"

namespace qm {

FailureLog::FailureLog(Platform& platform) {
    for (const std::u16string& path : platform.failureLogPaths()) {
        file_ = platform.createTextFile(path);
        if (file_) {
            path_ = path;
            file_->writeLine(u"分发失败记录列表详情：");
            return;
        }
    }
}

void FailureLog::add(const std::u16string& source, const std::u16string& destination) {
    if (file_) file_->writeLine(source + u"  →  " + destination);
}

void FailureLog::close() {
    if (file_) file_->close();
}

}  // namespace qm
