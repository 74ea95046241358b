#include "app/qt/qt_user.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt/folder_dialog.h"
#include "app/qt/qt_text.h"

namespace qm::desktop {

std::unique_ptr<QMessageBox> makeMessageBox(const MessageBoxRequest& request, QWidget* parent) {
    QString prompt = toQString(request.prompt);
    prompt.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QMessageBox::Icon icon =
        request.icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::Information;
    auto box = std::make_unique<QMessageBox>(icon, toQString(request.title), prompt, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    QPushButton* ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (request.buttons == MsgButtons::OkCancel) {
        cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        // Esc and the close box answer Cancel.
        box->setEscapeButton(cancel);
    } else {
        box->setEscapeButton(ok);
    }
    box->setDefaultButton(request.defaultButton == 1 && cancel ? cancel : ok);
    return box;
}

MsgResult QtUser::messageBox(const MessageBoxRequest& request) {
    // A dialog's warning belongs to the dialog, over which it then shows.
    QWidget* modal = QApplication::activeModalWidget();
    const std::unique_ptr<QMessageBox> box = makeMessageBox(request, modal ? modal : window_.data());
    box->exec();
    // A box closed without a button (rejected by the window system) counts
    // as closed by the escape button.
    const QAbstractButton* answer = box->clickedButton() ? box->clickedButton() : box->escapeButton();
    return request.buttons == MsgButtons::OkCancel && answer == box->escapeButton() ? MsgResult::Cancel
                                                                                      : MsgResult::Ok;
}

void QtUser::beep() { QApplication::beep(); }

std::u16string QtUser::browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                           bool newStyle) {
    return chooseFolder(window_, title, initialFolder, newStyle);
}

// Only the link label's MouseMove asks for the pointing hand, so the widget
// under the pointer is that label. The cursor is set on the widget, not
// application-wide: Qt then shows the arrow again as soon as the pointer
// leaves the label, with no state kept here or in the window.
void QtUser::showPointingCursor() {
    if (QWidget* under = QApplication::widgetAt(QCursor::pos())) under->setCursor(Qt::PointingHandCursor);
}

}  // namespace qm::desktop
