// The sidebar's file list: shows the arranged list, starts drags of its rows (as file names
// and as the window's own row type) and takes drops of files and rows between its rows.
#pragma once

#include <QListView>
#include <QUrl>

namespace perspix {

class MainView;

// Linux has no drag operation masks; the modifiers held at the drop stand in for them:
// Shift replaces the list (mask 4), Ctrl copies (mask 1), both copy to the end (mask 5),
// none is the plain drag of every operation.
namespace dragmask {
constexpr int kCopy = 1;
constexpr int kGeneric = 4;
constexpr int kCopyGeneric = 5;
constexpr int kEvery = 1 | 2 | 4 | 16;
int fromModifiers(Qt::KeyboardModifiers modifiers);
} // namespace dragmask

// What a drop carries, in the terms the window decides on.
struct DropRequest
{
    QList<QUrl> urls;
    bool ownRows = false;       // the window's own row type
    MainView* source = nullptr; // the window the rows come from; none when unknown
    QList<int> sourceRows;      // rows of the source's file list
    int mask = dragmask::kEvery;
    int row = 0; // drop row in the arranged list (between rows)
};

class FilelistView : public QListView
{
    Q_OBJECT
public:
    explicit FilelistView(MainView* owner, QWidget* parent = nullptr);

    static const QString kOwnMimeType;
    // The row (between rows) a drop at this point lands at.
    int dropRowAt(const QPoint& pos) const;

signals:
    void removeRequested();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool requestFromEvent(const QDropEvent* event, DropRequest& request) const;

    MainView* m_owner;
    int m_dropLine = -1;
};

} // namespace perspix
