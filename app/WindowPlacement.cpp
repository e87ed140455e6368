// Placement of new windows (see WindowPlacement.h).
#include "app/WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace perspix {

void WindowPlacement::keepOnScreen(QWidget* window)
{
    if (!window)
        return;
    QWidget* anchor = QApplication::activeWindow();
    if (anchor == window || (anchor && !anchor->isVisible()))
        anchor = nullptr;
    QScreen* screen = nullptr;
    if (window->testAttribute(Qt::WA_Moved) || window->isVisible())
        screen = QGuiApplication::screenAt(window->frameGeometry().center());
    if (!screen && anchor)
        screen = anchor->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();

    // The frame is known once the window manager has decorated the window.
    QMargins frame(kBorder, kTitleBar, kBorder, kBorder);
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    const QSize room(area.width() - frame.left() - frame.right(),
                     area.height() - frame.top() - frame.bottom());
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
    const QSize outer(size.width() + frame.left() + frame.right(),
                      size.height() + frame.top() + frame.bottom());

    // A top-level window's position is that of its frame.
    QPoint pos = window->pos();
    if (!window->testAttribute(Qt::WA_Moved) && !window->isVisible()) {
        const QRect over = anchor ? anchor->frameGeometry() : area;
        int others = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget != window && widget->isVisible() &&
                widget->metaObject() == window->metaObject())
                ++others;
        const int step = kCascade * (others % 8);
        pos = over.center() - QPoint(outer.width() / 2, outer.height() / 2) + QPoint(step, step);
    }
    pos.setX(
        std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
    pos.setY(
        std::clamp(pos.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    if (pos != window->pos() || !window->testAttribute(Qt::WA_Moved))
        window->move(pos);
}

} // namespace perspix
