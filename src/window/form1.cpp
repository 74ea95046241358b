#include "window/form1.h"

#include <algorithm>

#include "platform/platform.h"
#include "window/event_table.h"

namespace qm {

Form1::Form1(Platform platform)
    : Form(formSpec().caption),
      File1(layoutOf(u"File1"), platform.system),
      CmdIn(layoutOf(u"CmdIn")),
      LDir(layoutOf(u"LDir")),
      Label1(layoutOf(u"Label1")),
      LFiles(layoutOf(u"LFiles")),
      CmdOut(layoutOf(u"CmdOut")),
      LDirOut(layoutOf(u"LDirOut")),
      Combo1(layoutOf(u"Combo1"), filterItems()),
      Label2(layoutOf(u"Label2")),
      Label3(layoutOf(u"Label3")),
      TParts(layoutOf(u"TParts")),
      CmdDo(layoutOf(u"CmdDo")),
      Opt1(layoutOf(u"Opt1")),
      Opt2(layoutOf(u"Opt2")),
      Label4(layoutOf(u"Label4")),
      TDivs(layoutOf(u"TDivs")),
      Frame1(layoutOf(u"Frame1")),
      ChBackUp(layoutOf(u"ChBackUp")),
      Option1(layoutOf(u"Option1")),
      Option2(layoutOf(u"Option2")),
      Label5(layoutOf(u"Label5")),
      platform_(platform) {
    setControls({&File1, &CmdIn, &LDir, &Label1, &LFiles, &CmdOut, &LDirOut, &Combo1, &Label2, &Label3, &TParts,
                 &CmdDo, &Opt1, &Opt2, &Label4, &TDivs, &Frame1, &ChBackUp, &Option1, &Option2, &Label5},
                &CmdIn);
    for (const EventBinding& row : eventTable()) {
        if (row.attach) row.attach(*this);
    }
}

void Form1::load() { Form_Load(); }

}  // namespace qm
