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
};

// A menu entry; an entry with a null text is a separator.
struct MenuItem {
    uint32_t Id;
    const char* Text;
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

// Resizes the window so that its client area is width x height (the menu
// bar stays outside it) without moving it. False when no window exists.
bool ResizeClientArea(int width, int height);
// Moves the window's outer top-left corner to (x, y), kept where the title
// bar can still be reached on the desktop.
void MoveMainWindow(int x, int y);
// The outer rectangle's top-left corner; false when there is no window.
bool GetMainWindowPosition(int& x, int& y);
void GetClientAreaSize(int& width, int& height);
