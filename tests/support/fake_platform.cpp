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
    bool close() override { return inner_->close() && ok_; }

private:
    std::unique_ptr<TextFile> inner_;
    int left_;
    bool ok_ = true;
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
    return logPaths.empty() ? NativePlatform::failureLogPaths() : logPaths;
}

std::u16string FakePlatform::environmentVariable(const std::u16string& name) {
    for (const auto& [key, value] : environment) {
        if (key == name) return value;
    }
    return {};
}

bool FakePlatform::makeFolders(const std::u16string& path) {
    record(u"mkdir " + path);
    return NativePlatform::makeFolders(path);
}

bool FakePlatform::listFolder(const std::u16string& folder, FolderNames& names) {
    ++listings;
    return NativePlatform::listFolder(folder, names);
}

namespace {

std::u16string transferLine(const char16_t* verb, const OpenFolder& from, NativeNameView name, const OpenFolder& to) {
    const std::u16string text = text::nameText(name);
    return verb + from.path() + u"/" + text + u" -> " + to.path() + u"/" + text;
}

}  // namespace

TransferResult FakePlatform::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) {
    record(transferLine(u"copy ", from, name, to));
    return NativePlatform::copyFile(from, name, to);
}

TransferResult FakePlatform::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) {
    record(transferLine(u"move ", from, name, to));
    return NativePlatform::moveFile(from, name, to);
}

bool FakePlatform::deleteFile(const std::u16string& path) {
    record(u"delete " + path);
    return NativePlatform::deleteFile(path);
}

std::unique_ptr<TextFile> FakePlatform::createTextFile(const std::u16string& path) {
    record(u"create " + path);
    std::unique_ptr<TextFile> file = NativePlatform::createTextFile(path);
    if (auto failing = failWritesFrom.find(path); file && failing != failWritesFrom.end())
        return std::make_unique<FailingTextFile>(std::move(file), failing->second);
    return file;
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
