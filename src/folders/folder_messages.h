// Texts and the warning shared by the source and target folder choices.
#pragma once

#include "platform/user.h"

namespace qm {

inline constexpr char16_t kRefusalMarker = u'{';
inline constexpr char16_t kChooseFolderTitle[] = u"选择输出目录：";
inline constexpr char16_t kChooseTargetWarningTitle[] =
    u"选择输出目录(切勿指定只读目录如【Windows】及【Programe Files】)：";

inline void WarnUnusableFolder(User& user) {
    user.messageBox({u"该目录不可用，请重新指定。", u"警告", MsgButtons::Ok, MsgIcon::Critical, 0});
}

}  // namespace qm
