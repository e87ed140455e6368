// What a main window shows in place of its tabs while its list is empty: a framed area that
// invites dropping files or folders, with a button for the open dialog. The window itself
// takes the drop.
#pragma once

#include <QWidget>

class QPushButton;

namespace perspix {

class DropTargetView : public QWidget
{
    Q_OBJECT
public:
    explicit DropTargetView(QWidget* parent = nullptr);

    QPushButton* openButton() const { return m_open; }
    // While a drag hovers over the window the frame is drawn in the highlight colour.
    void setHighlighted(bool on);

    static const char* const kPrompt;

signals:
    void openRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPushButton* m_open;
    bool m_highlighted = false;
};

} // namespace perspix
