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
    EventBinding{u"LDir", u"Change", u"LDir_Change",
                 [](Form1& f) { f.LDir.onChange = [&f] { f.LDir_Change(); }; }},
    EventBinding{u"Combo1", u"Change", u"Combo1_Change",
                 [](Form1& f) { f.Combo1.onChange = [&f] { f.Combo1_Change(); }; }},
    EventBinding{u"Combo1", u"Click", u"Combo1_Click",
                 [](Form1& f) { f.Combo1.onClick = [&f] { f.Combo1_Click(); }; }},
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
};

}  // namespace

std::span<const EventBinding> eventTable() { return kEventTable; }

}  // namespace qm
