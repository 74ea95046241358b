// The window: one widget per visible control of the layout table, each kept a
// mirror of its control in the model, and the input router that turns what
// the user does into the model's actions.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "app/qt/binder.h"
#include "app/qt/input_router.h"
#include "app/qt/pixel_geometry.h"

namespace qm {
class Control;
class Form1;
}  // namespace qm

namespace qm::desktop {

class MainWindow : public QWidget {
public:
    // `scale`: pixels per 96-dpi pixel.
    explicit MainWindow(Form1& form, double scale = screenScale());
    ~MainWindow() override;

    // The widget that shows a control; nullptr for the hidden file list.
    QWidget* widgetOf(const Control& control) const;

    // Copies the whole model into the widgets and the window.
    void mirrorAll();


protected:
    void closeEvent(QCloseEvent* event) override;
    // The window's background offers the last run's undo, as Ctrl+Z does.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void build(double scale);
    void mirrorWindow();
    void mirrorFocus();

    Form1& form_;
    BindContext context_;
    InputRouter router_;
    std::vector<std::unique_ptr<Binder>> binders_;
};

}  // namespace qm::desktop
