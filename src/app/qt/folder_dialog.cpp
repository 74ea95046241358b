#include "app/qt/folder_dialog.h"

#include <QFileDialog>
#include <QSettings>
#include <QToolButton>

#include "app/qt/qt_text.h"

namespace qm::desktop {

std::u16string chooseFolder(QWidget* parent, const std::u16string& title, const std::u16string& initialFolder,
                            bool newStyle) {
    // Qt's dialog keeps its history and last folder in the user's settings
    // (QtProject.conf) as it closes. The window keeps no state, and opens at
    // the folder it names: the settings are sent where nothing can be made
    // (below a device), so the dialog reads nothing and writes nothing.
    static const bool noSettings = [] {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null/quillmarsh"));
        }
        return true;
    }();
    (void)noSettings;
    QFileDialog dialog(parent, toQString(title), toQString(initialFolder));
    // Qt's own dialog looks and behaves the same on every desktop, and its
    // "new folder" button can be taken away for the classic style.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::WindowModal);
    if (!newStyle) {
        // Read-only keeps folders from being made, renamed or deleted in the
        // dialog; it only disables the button, so hide it as well.
        dialog.setOption(QFileDialog::ReadOnly);
        if (auto* button = dialog.findChild<QToolButton*>(QStringLiteral("newFolderButton"))) button->hide();
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::u16string() : toU16(chosen.front());
}

}  // namespace qm::desktop
