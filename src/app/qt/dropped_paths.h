// What a drop on a folder label hands to the model: the local paths of the
// dragged items, in the order the source listed them.
#pragma once

#include <string>
#include <vector>

class QMimeData;
class QUrl;

namespace qm::desktop {

// Only file URLs count; a drag of text or of web addresses gives an empty
// list, which the model answers with a beep.
std::vector<std::u16string> localPathsOf(const QMimeData& data);

// The path of a file URL as the core spells file names: the URL's bytes are
// decoded as UTF-8 with the core's own rules, so a name that is not valid
// UTF-8 survives the round trip to the file system unchanged.
std::u16string localPathOf(const QUrl& url);

}  // namespace qm::desktop
