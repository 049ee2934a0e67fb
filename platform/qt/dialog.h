#pragma once
// Modal dialogs built from templates: a list of controls with positions in
// dialog units (a quarter of the font's average character width across, an
// eighth of its height down) and numbers by which the dialog procedure finds
// them. The procedure sees the dialog the way a dialog manager reports it:
// opening, commands from buttons and check boxes, scroll bar moves, and the
// close box.

#include <cstdint>
#include <span>
#include <string>

enum class ControlKind {
    Bitmap,  // the text names the picture: "Logo"
    GroupBox,
    CheckBox,  // toggles itself when clicked, then sends its command
    Edit,
    HScrollBar,
    Label,  // left-aligned static text
    RightLabel,
    CentredLabel,
    SunkenLabel,  // centred text in a sunken frame
    EtchedFrame,
    DefaultButton,  // Enter presses it
    Button,
};

struct DialogControl {
    int32_t Id;  // -1 for controls the procedure never asks for
    ControlKind Kind;
    const char* Text;
    int X, Y, Width, Height;
};

struct DialogTemplate {
    const char* Caption;
    int X, Y, Width, Height;  // client area, placed relative to the owner's client area
    std::span<const DialogControl> Controls;
};

// Scroll bar notifications, in the numbering of the classic scroll messages.
enum class ScrollCode : int {
    LineLeft = 0,
    LineRight = 1,
    PageLeft = 2,
    PageRight = 3,
    ThumbPosition = 4,
    ThumbTrack = 5,
    Leftmost = 6,
    Rightmost = 7,
};

enum class DialogEvent {
    Open,     // controls exist, not yet shown
    Command,  // id: the button or check box; Enter sends the default button's id, Escape 2
    HScroll,  // id: the scroll bar; code and position as sent by the bar
    Close,    // the close box
};

struct Dialog;
using DialogProcedure = void (*)(Dialog* dialog, DialogEvent event, int32_t id, ScrollCode code, int position);

// Runs the dialog modally over the main window and returns the result given
// to EndDialog, or -1 when it could not be made.
int RunDialog(const DialogTemplate& layout, DialogProcedure procedure);

// Ends the dialog once the procedure returns; the controls stay readable
// until then.
void EndDialog(Dialog* dialog, int result);

void SetControlText(Dialog* dialog, int32_t id, const char* text);
std::string GetControlText(Dialog* dialog, int32_t id);
bool IsChecked(Dialog* dialog, int32_t id);
void SetChecked(Dialog* dialog, int32_t id, bool checked);
void SetScrollRange(Dialog* dialog, int32_t id, int minimum, int maximum);
void GetScrollRange(Dialog* dialog, int32_t id, int& minimum, int& maximum);
void SetScrollPosition(Dialog* dialog, int32_t id, int position);
int GetScrollPosition(Dialog* dialog, int32_t id);
void FocusControl(Dialog* dialog, int32_t id);

// A warning, or a piece of information, in a small modal box over the main
// window, with an OK button.
void ShowWarningBox(const char* title, const char* text);
void ShowInformationBox(const char* title, const char* text);
