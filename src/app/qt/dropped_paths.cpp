#include "app/qt/dropped_paths.h"

#include <QByteArray>
#include <QMimeData>
#include <QUrl>

#include "text/utf.h"

namespace qm::desktop {

std::u16string localPathOf(const QUrl& url) {
    // QUrl::toLocalFile would decode the bytes as UTF-8 and replace what does
    // not decode; the encoded form still holds the file system's bytes.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return text::fromUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::vector<std::u16string> localPathsOf(const QMimeData& data) {
    std::vector<std::u16string> paths;
    if (!data.hasUrls()) return paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) paths.push_back(localPathOf(url));
    }
    return paths;
}

}  // namespace qm::desktop
