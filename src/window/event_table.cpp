#include "window/event_table.h"

#include <array>

#include "window/form1.h"

namespace qm {

namespace {

// One attach function per row, so that the table stays plain data.
const std::array kEventTable{
    EventBinding{u"Form1", u"Load", u"Form_Load", nullptr},  // run by Form1::load()
    EventBinding{u"CmdDo", u"Click", u"CmdDo_Click",
                 [](Form1& f) { f.CmdDo.onClick = [&f] { f.CmdDo_Click(); }; }},
    EventBinding{u"CmdIn", u"Click", u"CmdIn_Click",
                 [](Form1& f) { f.CmdIn.onClick = [&f] { f.CmdIn_Click(); }; }},
    EventBinding{u"CmdOut", u"Click", u"CmdOut_Click",
                 [](Form1& f) { f.CmdOut.onClick = [&f] { f.CmdOut_Click(); }; }},
    EventBinding{u"LDir", u"OLEDragDrop", u"LDir_OLEDragDrop",
                 [](Form1& f) { f.LDir.onDrop = [&f](const auto& paths) { f.LDir_OLEDragDrop(paths); }; }},
    EventBinding{u"LDirOut", u"OLEDragDrop", u"LDirOut_OLEDragDrop",
                 [](Form1& f) { f.LDirOut.onDrop = [&f](const auto& paths) { f.LDirOut_OLEDragDrop(paths); }; }},
    EventBinding{u"LDir", u"Change", u"LDir_Change",
                 [](Form1& f) { f.LDir.onChange = [&f] { f.LDir_Change(); }; }},
    EventBinding{u"Combo1", u"Change", u"Combo1_Change",
                 [](Form1& f) { f.Combo1.onChange = [&f] { f.Combo1_Change(); }; }},
    EventBinding{u"Combo1", u"Click", u"Combo1_Click",
                 [](Form1& f) { f.Combo1.onClick = [&f] { f.Combo1_Click(); }; }},
    EventBinding{u"Combo1", u"KeyPress", u"Combo1_KeyPress",
                 [](Form1& f) { f.Combo1.onKeyPress = [&f](std::int16_t& k) { f.Combo1_KeyPress(k); }; }},
    EventBinding{u"Combo1", u"Validate", u"Combo1_Validate",
                 [](Form1& f) { f.Combo1.onValidate = [&f](bool& c) { f.Combo1_Validate(c); }; }},
    EventBinding{u"Opt1", u"Click", u"Opt1_Click", [](Form1& f) { f.Opt1.onClick = [&f] { f.Opt1_Click(); }; }},
    EventBinding{u"Opt2", u"Click", u"Opt2_Click", [](Form1& f) { f.Opt2.onClick = [&f] { f.Opt2_Click(); }; }},
    EventBinding{u"TParts", u"KeyPress", u"TParts_KeyPress",
                 [](Form1& f) { f.TParts.onKeyPress = [&f](std::int16_t& k) { f.TParts_KeyPress(k); }; }},
    EventBinding{u"TParts", u"Validate", u"TParts_Validate",
                 [](Form1& f) { f.TParts.onValidate = [&f](bool& c) { f.TParts_Validate(c); }; }},
    EventBinding{u"TDivs", u"KeyPress", u"TDivs_KeyPress",
                 [](Form1& f) { f.TDivs.onKeyPress = [&f](std::int16_t& k) { f.TDivs_KeyPress(k); }; }},
    EventBinding{u"TDivs", u"Validate", u"TDivs_Validate",
                 [](Form1& f) { f.TDivs.onValidate = [&f](bool& c) { f.TDivs_Validate(c); }; }},
    EventBinding{u"LFiles", u"Change", u"LFiles_Change",
                 [](Form1& f) { f.LFiles.onChange = [&f] { f.LFiles_Change(); }; }},
    EventBinding{u"Label5", u"Click", u"Label5_Click",
                 [](Form1& f) { f.Label5.onClick = [&f] { f.Label5_Click(); }; }},
    EventBinding{u"Label5", u"MouseMove", u"Label5_MouseMove",
                 [](Form1& f) { f.Label5.onMouseMove = [&f] { f.Label5_MouseMove(); }; }},
};

}  // namespace

std::span<const EventBinding> eventTable() { return kEventTable; }

}  // namespace qm
