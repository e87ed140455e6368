// Where a new window appears: whole, on the screen of the window the user works in.
#pragma once

class QWidget;

namespace perspix {

class WindowPlacement
{
public:
    // Before a window is first shown (or again later): shrinks it to fit the available area
    // of the screen it opens on, and moves it so that its frame lies inside that area. A
    // window that was not placed yet is centred over the active window, stepped down and to
    // the right for each visible window of its class, so that windows opened one after the
    // other do not hide each other; one that was placed keeps its place as far as the screen
    // allows.
    static void keepOnScreen(QWidget* window);

    // Room left for the frame the window manager adds, before it is known.
    static constexpr int kTitleBar = 32;
    static constexpr int kBorder = 4;
    static constexpr int kCascade = 24;
};

} // namespace perspix
