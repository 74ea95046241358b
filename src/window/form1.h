// Form1: the one window, its 21 controls, its handlers, and the user actions
// that a front end (or a test) turns into events.
//
// Handlers are member functions named after the control and the event; each
// is defined in the folder of the subsystem it belongs to (engine/, settings/,
// folders/, window/). All state lives in the controls, plus the three values
// that start-up reads.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/controls.h"
#include "window/deal_options.h"
#include "window/form.h"
#include "engine/run_request.h"
#include "engine/run_result.h"

namespace qm {

// A dropped path counts as a folder when its last seven characters hold no ".".
bool LooksLikeFolder(const std::u16string& path);

class Form1 : public Form {
public:
    explicit Form1(Platform platform);

    System& system() const { return platform_.system; }
    User& user() const { return platform_.user; }

    // --- the controls, in tab order -----------------------------------------
    // The names are the window's own and stay as they are, odd ones included.
    FileList File1;       // hidden: the source folder's files under the type filter
    PushButton CmdIn;     // chooses the import (source) folder
    Label LDir;           // the import folder
    Label Label1;
    Label LFiles;         // the number of matching files
    PushButton CmdOut;    // chooses the export (target) folder
    Label LDirOut;        // the export folder
    ComboBox Combo1;      // the file type filter
    Label Label2;
    Label Label3;
    TextBox TParts;       // files per share (fixed dispatch)
    PushButton CmdDo;     // 分发: the run
    OptionButton Opt1;    // fixed dispatch; its partner Opt2 is average dispatch
    OptionButton Opt2;
    Label Label4;
    TextBox TDivs;        // number of shares (average dispatch)
    Frame Frame1;
    CheckBox ChBackUp;    // move the files instead of copying them (not a backup)
    OptionButton Option1; // keep the whole source path; its partner Option2 keeps the folder's name only
    OptionButton Option2; // (Opt1/Opt2 and Option1/Option2 are two separate groups)
    Label Label5;         // 作者主页: the home-page link

    // The window keeps a record of each run in the user's state folder, so
    // that its last run can be taken back.
    bool keepRecords = true;
    // The ways of dealing the options dialog adds, until the window closes.
    DealOptions options;
    // The front end's way of showing a dialog of the window: modal, until
    // the dialog says it is closed.
    void setDialogHost(std::function<void(Form& dialog)> host) { dialogHost_ = std::move(host); }
    // Whether a run or an undo is going on (the window is disabled then, and
    // only a stop may be asked for).
    bool busy() const { return busy_; }
    // What the last click on the dispatch button did.
    const RunResult& lastRun() const { return lastRun_; }

    // The run a click on the dispatch button would ask for now, as its
    // controls describe it (the move choice as it stands).
    RunRequest RequestFromControls() const;
    // How many of the list's files a run deals.
    std::uint64_t FilesToDeal() const;

    // --- values read once at start-up ---------------------------------------
    std::u16string ProgramFilesPath;
    std::u16string WinDirPath;
    bool IsWin7OrAbove = false;

    // The window's Load event, once before it is first shown.
    void load();

    // Whether the file list can be pointed at `folder` and list it; the list
    // is left pointing where it was.
    bool ProbeFolder(const std::u16string& folder);
    // A dialog choice that may be taken: no refusal marker, and listable.
    bool IsUsableChoice(const std::u16string& folder);
    // The first target folder and the folder the dialogs open at: the drive
    // root of the program's folder; on a system without drives the user's
    // home folder ("/" when the environment names none), which is then the
    // first source folder too.
    std::u16string StartFolder();
    // The read-me that the link opens when the build names no home page:
    // the installed one, else the one beside the program; empty when neither
    // is there.
    std::u16string ReadMePath();
    // On newer systems: whether a target lies in the system or program-files folder.
    bool InSystemFolder(const std::u16string& path) const;

    // --- handlers -----------------------------------------------------------
    void Form_Load();
    void CmdDo_Click();
    void CmdIn_Click();
    void CmdOut_Click();
    void LDir_Change();
    void LDir_OLEDragDrop(const std::vector<std::u16string>& paths);
    void LDirOut_OLEDragDrop(const std::vector<std::u16string>& paths);
    void Combo1_Change();
    void Combo1_Click();
    void Combo1_KeyPress(std::int16_t& key);
    void Combo1_Validate(bool& cancel);
    void Opt1_Click();
    void Opt2_Click();
    void TParts_KeyPress(std::int16_t& key);
    void TDivs_KeyPress(std::int16_t& key);
    void TParts_Validate(bool& cancel);
    void TDivs_Validate(bool& cancel);
    void LFiles_Change();
    void Label5_Click();
    void Label5_MouseMove();

    // --- the options and stopping ----------------------------------------------
    // Ctrl+Shift+O, or the menu item: the options dialog, and what it says
    // applied to the window (title, count, what can be chosen).
    void ShowOptions();
    void ApplyOptions(const DealOptions& chosen);
    // Esc, or closing the window, while a run or an undo is going on: asks
    // 停止分发？ and, on OK, has it stop once the file in hand is done.
    // Whether the stop was asked for (a front end closes the window then,
    // once the run has ended).
    bool RequestStop();

    // --- taking the last run back ---------------------------------------------
    // Whether there is a run of the window's that can be taken back (the menu
    // item is enabled then).
    bool CanUndoLastRun();
    // Ctrl+Z, or the menu item: asks, then takes the last run not yet taken
    // back back; with none, it beeps.
    void UndoLastRun();

private:
    void normalizeCount(TextBox& field, const std::u16string& fallback);
    void switchMode(TextBox& chosen, TextBox& other, const std::u16string& start);
    // The folder dialog until the user picks a usable folder (the result) or
    // cancels (empty); refused choices are answered with a warning.
    std::u16string ChooseFolder(const std::u16string& title, bool newStyle, bool refuseSystemFolders);

    Platform platform_;
    RunResult lastRun_;
    std::function<void(Form&)> dialogHost_;
    bool busy_ = false;
    std::atomic<int> stop_{0};
};

}  // namespace qm
