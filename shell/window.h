// The program's window: SDL's video on a real desktop, the window itself
// (on the whole desktop, or the frame's size with --windowed), and the
// desktop's message boxes. g_window while a window is open.
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
    // Opens g_window, for OpenGL or not (one taking the other's place);
    // width x height is the window's size when windowed.
    bool Open(bool windowed, bool openGL, int width, int height, std::string* error);
    void Close();
    // The open window's size in pixels: the display's full screen, the
    // window's own otherwise, within the sizes a frame may have.
    void NativeSize(int* width, int* height) const;

private:
    bool m_windowed = false;
};
