#include "engine/completion_message.h"

#include "text/utf.h"

namespace qm {

std::u16string CompletionMessage(const RunResult& result) {
    std::u16string text = u"分发完毕！";
    if (result.failed != 0) {
        text += u"因文件访问错误，分发失败" + text::decimal(result.failed) + u"份。\r\n" +
                (result.failureLog.empty() ? u"分发失败的记录无法创建。" : u"稍候请参见分发失败的记录。");
        // A run into an old target meets the files of the last run: that is
        // no access error, and the user is told so.
        if (result.clashes != 0)
            text += u"\r\n其中" + text::decimal(result.clashes) + u"个文件因目标位置已有不同的同名文件而未分发。";
    }
    // A move run that could only copy some files says so: the user expects
    // the source folder to be empty afterwards.
    if (result.copiedOnly != 0)
        text += u"\r\n其中" + text::decimal(result.copiedOnly) + u"个文件只能复制，原文件未移走。";
    // A share on a file system that keeps no times or permission bits still
    // gets its files, and the user is told what they lack.
    if (result.unkept != 0)
        text += u"\r\n其中" + text::decimal(result.unkept) + u"个文件的修改时间或权限无法保留。";
    if (result.copiedNotCloned != 0)
        text += u"\r\n其中" + text::decimal(result.copiedNotCloned) + u"个文件无法克隆，已照常复制。";
    if (result.otherVolume != 0)
        text += u"\r\n其中" + text::decimal(result.otherVolume) + u"个文件因分发文件夹在另一个文件系统上而无法硬链接。";
    if (result.noPrivilege != 0)
        text += u"\r\n其中" + text::decimal(result.noPrivilege) + u"个文件因没有建立符号链接的权限而未分发。";
    if (result.linkedFolders != 0)
        text += u"\r\n另有" + text::decimal(result.linkedFolders) + u"个链接到别处的文件夹未进入。";
    if (result.common != 0) text += u"\r\n每份另有" + text::decimal(result.common) + u"个共同文件。";
    if (result.lists != 0) text += u"\r\n已写出" + text::decimal(result.lists) + u"份清单。";
    if (result.listsFailed != 0) text += u"\r\n有" + text::decimal(result.listsFailed) + u"份清单无法写出。";
    // Companions are counted apart from the files dealt.
    if (result.companionsShown) text += u"\r\n另有" + text::decimal(result.companions) + u"个伴随文件随同分发。";
    return text;
}

}  // namespace qm
