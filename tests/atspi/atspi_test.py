#!/usr/bin/python3
"""The window as a screen reader on Linux reads it, over AT-SPI: the folder
labels name their folders, the count label its number, the link is a link
with an action, and a change of a folder or of the count is announced; the
options dialog (Ctrl+Shift+O) names every one of its fields.
Keys and pointer moves go in as a user's would (XTest, through the AT-SPI
registry).

    xvfb-run -a dbus-run-session -- atspi_test.py QUILLMARSH
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TAB, RETURN, END, BACKSPACE, ESCAPE = 0xFF09, 0xFF0D, 0xFF57, 0xFF08, 0xFF1B
SHIFT_MASK, CONTROL_MASK = 1 << 0, 1 << 2
# The options dialog's fields, as a screen reader names them.
OPTION_FIELDS = {"包含子文件夹", "按子文件夹分别分发", "按比例分发", "比例", "名称", "方式",
                 "复制或移动（按主窗口）", "硬链接", "符号链接", "克隆", "每份共同文件数",
                 "只生成清单，不复制文件", "确定", "取消", "恢复默认"}
failures = []
renamed = []  # names of the objects that announced a new name, in order


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def pump(seconds):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(condition, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump(0.1)
        found = condition()
        if found:
            return found
    return None


def application():
    return next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "quillmarsh"), None)


def point_at(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "abs")
    pump(0.3)


def press(*keys):
    for key in keys:
        pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
        pump(0.1)


def descendants(node):
    for i in range(node.childCount):
        child = node[i]
        if child is not None:
            yield child
            yield from descendants(child)


def check_options_dialog(app, form):
    point_at(form)
    pyatspi.Registry.generateKeyboardEvent(SHIFT_MASK | CONTROL_MASK, None, pyatspi.KEY_LOCKMODIFIERS)
    press(ord("o"))
    pyatspi.Registry.generateKeyboardEvent(SHIFT_MASK | CONTROL_MASK, None, pyatspi.KEY_UNLOCKMODIFIERS)
    dialog = wait_for(lambda: next((w for w in app if w.getRole() == pyatspi.ROLE_DIALOG and w.name == "分发选项"),
                                   None))
    check(dialog is not None, "Ctrl+Shift+O opens 分发选项")
    if dialog is None:
        return
    # The labels beside the fields share their names; the fields are what counts.
    named = {n.name for n in descendants(dialog) if n.getRole() != pyatspi.ROLE_LABEL}
    for name in sorted(OPTION_FIELDS):
        check(name in named, f"the dialog has a field named '{name}'")
    point_at(dialog)
    press(ESCAPE)
    check(wait_for(lambda: all(w.getRole() != pyatspi.ROLE_DIALOG for w in app)) is not None, "Esc closes it")


def main(program):
    home = tempfile.mkdtemp(prefix="qm-atspi-")
    for name in ("a.txt", "b.txt", "c.png"):
        open(os.path.join(home, name), "w").close()
    env = dict(os.environ, HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    pyatspi.Registry.registerEventListener(lambda e: renamed.append(e.source.name),
                                           "object:property-change:accessible-name")
    window = subprocess.Popen([program], env=env)
    try:
        app = wait_for(application)
        check(app is not None, "the program is on the AT-SPI bus")
        if app is None:
            return
        form = app[0]
        nodes = [form[i] for i in range(form.childCount)]
        labels = {n.name: n for n in nodes if n.getRole() == pyatspi.ROLE_LABEL}
        for name in (f"导入目录：{home}", f"导出目录：{home}"):
            check(name in labels, f"a label reads '{name}'")
            check(name in labels and labels[name].description == "支持文件夹拖放", f"'{name}' says it takes drops")
        check("当前目录文件总数：3" in labels, "the count label reads '当前目录文件总数：3'")
        links = [n for n in nodes if n.getRole() == pyatspi.ROLE_LINK]
        check([n.name for n in links] == ["作者主页"], "作者主页 is a link")
        if links:
            action = links[0].queryAction()
            check(action.nActions > 0 and action.getName(0) == "Press", "the link has an action")

        # Tab to 导出目录, Space opens the folder dialog at the home folder,
        # Return chooses it: the export folder is now written with a "/".
        point_at(form)
        press(TAB, ord(" "))
        dialog = wait_for(lambda: next((w for w in app if w.getRole() == pyatspi.ROLE_DIALOG), None))
        check(dialog is not None, "导出目录 opens the folder dialog")
        if dialog is not None:
            point_at(dialog)
            press(RETURN)
            check(wait_for(lambda: f"导出目录：{home}/" in renamed) is not None,
                  "choosing the export folder is announced")
        # On to the filter, "*.*" becomes "*.txt": two files match.
        point_at(form)
        press(TAB, END, BACKSPACE, ord("t"), ord("x"), ord("t"))
        check(wait_for(lambda: "当前目录文件总数：2" in renamed) is not None, "the new count is announced")
        check_options_dialog(app, form)
    finally:
        window.terminate()
        window.wait()
        shutil.rmtree(home)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: atspi_test.py QUILLMARSH")
    main(sys.argv[1])
    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)
