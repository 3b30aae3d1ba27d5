// The program's window: SDL's video on a real desktop, the window itself
// (on the whole desktop, or 1024 x 768 with --windowed), and the desktop's
// message boxes. g_window while a window is open.
#pragma once

#include <string>

class CWindow {
public:
    CWindow() = default;
    // Closes the window and SDL's video.
    ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    // SDL's video on a display. False, with the reason for the user, when
    // there is no desktop to show the demo on.
    bool Start(std::string* error);
    // Opens g_window, for OpenGL or not (one taking the other's place).
    bool Open(bool windowed, bool openGL, std::string* error);
    void Close();
};
