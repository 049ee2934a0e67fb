#pragma once
// The main window: a menu bar over a client area that shows the picture.
// Everything the window system reports arrives through WindowCallbacks, on
// the main thread, while events are being dispatched.

#include <cstdint>
#include <span>

// Key codes in the classic PC virtual-key numbering: letters and digits are
// their upper-case ASCII codes, Enter 0x0D, Tab 0x09, Ctrl 0x11, Space 0x20,
// the arrows 0x25-0x28, Escape 0x1B, F1-F12 0x70-0x7B, "=/+" 0xBB, "-" 0xBD.
struct WindowCallbacks {
    void (*Resized)(int clientWidth, int clientHeight) = [](int, int) {};
    // The window system asks for the picture to be drawn again.
    void (*Repainting)() = [] {};
    void (*ActivationChanged)(bool active, bool minimised) = [](bool, bool) {};
    // A menu opened (true) or the last open menu closed (false).
    void (*MenuLoop)(bool entered) = [](bool) {};
    // repeat marks the key events the keyboard's auto-repeat produces.
    void (*Key)(uint32_t keyCode, bool down, bool repeat) = [](uint32_t, bool, bool) {};
    void (*Command)(uint32_t id) = [](uint32_t) {};
    void (*CloseRequested)() = [] {};
    // A file was dropped on the window (the first one of a drop).
    void (*FileDropped)(const char* path) = [](const char*) {};
};

// A menu entry; an entry with a null text is a separator. Key is the text
// of its key shown beside it (the key itself goes through Key above), Hint
// an English line shown as its tooltip and in the status line.
struct MenuItem {
    uint32_t Id;
    const char* Text;
    const char* Key = nullptr;
    const char* Hint = nullptr;
    bool Checkable = false;
};

struct MenuPopup {
    const char* Text;
    std::span<const MenuItem> Items;
};

// Shows the main window with the given outer size. False when it cannot be
// made.
bool OpenMainWindow(const char* title, std::span<const MenuPopup> menu, const WindowCallbacks& callbacks,
                    int outerWidth, int outerHeight);
bool MainWindowOpen();
// Hides and forgets the main window.
void CloseMainWindow();

// The picture: a part of a 16-bit 5-5-5 pixel buffer (red in bits 10-14,
// lineBytes apart) that is stretched over the whole client area. The buffer
// is read, never copied, whenever the window is drawn.
void SetPictureSource(const uint16_t* pixels, int width, int height, int lineBytes, int sourceX, int sourceY,
                      int sourceWidth, int sourceHeight);
// Draws the picture now and puts it on the screen before returning.
void ShowPicture();

// How the picture fills the client area: stretched over all of it, or as
// large as fits with the source's aspect ratio kept (black bars beside or
// above it), optionally at a whole multiple of the source's size.
struct PictureScaling {
    bool KeepAspect = true;
    bool WholeMultiples = false;
};
void SetPictureScaling(PictureScaling scaling);
// Where the picture lands in a client area of width x height.
void PictureRectangle(int width, int height, int& x, int& y, int& pictureWidth, int& pictureHeight);

// Fullscreen: the picture on the whole screen, without menu bar; the menu
// stays reachable with its keys' functions and on the right mouse button.
void SetFullscreen(bool on);
bool IsFullscreen();

// Menu entries whose state the front-end changes: their text (the key
// text stays), check mark, whether they can be chosen, and whether they
// show at all.
void SetMenuItemText(uint32_t id, const char* text);
void SetMenuItemChecked(uint32_t id, bool checked);
void SetMenuItemEnabled(uint32_t id, bool enabled);
void SetMenuItemVisible(uint32_t id, bool visible);

// The window title.
void SetWindowTitleText(const char* title);
// A short message at the right end of the menu bar (the frame rate, where
// a screenshot went); an empty text clears it.
void ShowStatusText(const char* text);

// Resizes the window so that its client area is width x height (the menu
// bar stays outside it) without moving it. False when no window exists.
bool ResizeClientArea(int width, int height);
// Moves the window so that its inside (menu bar and picture, without the
// window manager's frame) starts at (x, y), kept where the title bar can
// still be reached on the desktop. The position is that of the inside, not
// of the frame, because the frame's size is known only once the window
// manager has framed the window: a place read back from the frame and
// applied to the inside would creep by the frame's size at every start.
void MoveMainWindow(int x, int y);
// The inside's top-left corner; false when there is no window.
bool GetMainWindowPosition(int& x, int& y);
void GetClientAreaSize(int& width, int& height);
