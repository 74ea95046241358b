#include "support/fake_platform.h"

namespace qm::test {

namespace {

// A text file whose writes fail from a given line on; the lines before reach
// the real file.
class FailingTextFile : public TextFile {
public:
    FailingTextFile(std::unique_ptr<TextFile> inner, int failFrom) : inner_(std::move(inner)), left_(failFrom - 1) {}
    bool writeLine(const std::u16string& line) override {
        if (left_ <= 0) return ok_ = false;
        --left_;
        return inner_->writeLine(line) && ok_;
    }
    bool flush() override { return inner_->flush() && ok_; }
    bool close() override { return inner_->close() && ok_; }

private:
    std::unique_ptr<TextFile> inner_;
    int left_;
    bool ok_ = true;
};

// A record file whose writes fail once its allowance is used up.
class FillingRecordFile : public RecordFile {
public:
    FillingRecordFile(std::unique_ptr<RecordFile> inner, int& left) : inner_(std::move(inner)), left_(left) {}
    bool writeAt(std::uint64_t offset, std::string_view bytes) override {
        if (left_ >= 0 && left_-- == 0) {
            left_ = 0;
            return false;
        }
        return inner_->writeAt(offset, bytes);
    }
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
        return inner_->readAt(offset, buffer, size);
    }
    std::uint64_t size() override { return inner_->size(); }
    bool truncate(std::uint64_t size) override { return inner_->truncate(size); }
    bool close() override { return inner_->close(); }

private:
    std::unique_ptr<RecordFile> inner_;
    int& left_;
};

}  // namespace

MsgResult FakePlatform::messageBox(const MessageBoxRequest& request) {
    record(u"box " + request.title + u": " + request.prompt);
    boxes.push_back(request);
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (!answers.empty()) {
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    return request.defaultButton == 0 ? MsgResult::Ok : MsgResult::Cancel;
}

void FakePlatform::beep() {
    ++beeps;
    record(u"beep");
}

std::u16string FakePlatform::browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                             bool newStyle) {
    dialogs.push_back({title, initialFolder, newStyle});
    record(u"dialog " + title);
    if (dialogResults.empty()) return {};
    std::u16string r = dialogResults.front();
    dialogResults.pop_front();
    return r;
}

void FakePlatform::openInDesktop(const std::u16string& target, ShowAs) {
    opened.push_back(target);
    record(u"open " + target);
}

std::vector<std::u16string> FakePlatform::failureLogPaths() {
    return logPaths.empty() ? NativeSystem::failureLogPaths() : logPaths;
}

std::u16string FakePlatform::environmentVariable(const std::u16string& name) {
    for (const auto& [key, value] : environment) {
        if (key == name) return value;
    }
    return {};
}

bool FakePlatform::makeFolders(const std::u16string& path) {
    record(u"mkdir " + path);
    return NativeSystem::makeFolders(path);
}

std::unique_ptr<OpenFolder> FakePlatform::openFolderBelow(OpenFolder& base, std::u16string_view relative,
                                                          bool create) {
    std::u16string path = base.path();
    if (!path.empty() && path.back() != pathStyle().separator) path += pathStyle().separator;
    path += relative;
    if (create && !folderExists(path)) record(u"mkdir " + path);
    return NativeSystem::openFolderBelow(base, relative, create);
}

bool FakePlatform::listFolder(const std::u16string& folder, FolderNames& names) {
    ++listings;
    return NativeSystem::listFolder(folder, names);
}

namespace {

std::u16string transferLine(const char16_t* verb, const OpenFolder& from, NativeNameView name, const OpenFolder& to) {
    const std::u16string text = text::nameText(name);
    return verb + from.path() + u"/" + text + u" -> " + to.path() + u"/" + text;
}

}  // namespace

TransferResult FakePlatform::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                      TransferWitness* witness) {
    record(transferLine(u"copy ", from, name, to));
    const TransferResult result = NativeSystem::copyFile(from, name, to, witness);
    if (afterTransfer) afterTransfer(text::nameText(name));
    return result;
}

TransferResult FakePlatform::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                      TransferWitness* witness) {
    record(transferLine(u"move ", from, name, to));
    const TransferResult result = NativeSystem::moveFile(from, name, to, witness);
    if (afterTransfer) afterTransfer(text::nameText(name));
    return result;
}

HeldResult FakePlatform::holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) {
    if (beforeTakeBack && !followLinks) beforeTakeBack(text::nameText(name));
    return NativeSystem::holdFile(folder, name, followLinks);
}

bool FakePlatform::deleteFile(const std::u16string& path) {
    record(u"delete " + path);
    return NativeSystem::deleteFile(path);
}

std::unique_ptr<TextFile> FakePlatform::createTextFile(const std::u16string& path) {
    record(u"create " + path);
    std::unique_ptr<TextFile> file = NativeSystem::createTextFile(path);
    if (auto failing = failWritesFrom.find(path); file && failing != failWritesFrom.end())
        return std::make_unique<FailingTextFile>(std::move(file), failing->second);
    return file;
}

std::unique_ptr<RecordFile> FakePlatform::createRecordFile(const std::u16string& path) {
    std::unique_ptr<RecordFile> file = NativeSystem::createRecordFile(path);
    if (!file || recordWrites < 0) return file;
    return std::make_unique<FillingRecordFile>(std::move(file), recordWrites);
}

void FakePlatform::record(std::u16string call) {
    std::lock_guard lock(calls_);
    calls.push_back(std::move(call));
}

int FakePlatform::indexOf(std::u16string_view prefix) const {
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].starts_with(prefix)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace qm::test
