// The window: its form shown from the layout table (form_view.h), its
// commands in the context menu, its dialogs shown modally over it, and a run
// stopped by Esc or by closing it.
#pragma once

#include <QWidget>
#include <memory>

#include "app/qt/form_view.h"
#include "app/qt/pixel_geometry.h"

namespace qm {
class Control;
class Form;
class Form1;
}  // namespace qm

namespace qm::desktop {

class MainWindow : public QWidget {
public:
    // `scale`: pixels per 96-dpi pixel.
    explicit MainWindow(Form1& form, double scale = screenScale());
    ~MainWindow() override;

    // The widget that shows a control; nullptr for the hidden file list.
    QWidget* widgetOf(const Control& control) const { return view_->widgetOf(control); }

    // Copies the whole model into the widgets and the window.
    void mirrorAll() { view_->mirrorAll(); }

protected:
    // Esc while a run is going on asks to stop it; the window is disabled
    // then, so it is seen before Qt drops the key.
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The window's background offers the window's commands, as their keys do.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showDialog(Form& dialog);
    void closeIfAsked();

    Form1& form_;
    double scale_;
    std::unique_ptr<FormView> view_;
    // Closing was asked for during a run and the run told to stop: the
    // window closes once the run is over.
    bool closeWhenDone_ = false;
};

}  // namespace qm::desktop
