// The General tab: the file's cover (or icon), its name, kind, format, size and duration or
// image size, a busy indicator while its analysis is awaited, and one line per stream.
#pragma once

#include <QLabel>
#include <QWidget>

#include "model/PerspixData.h"

class QProgressBar;
class QTreeView;

namespace perspix {

class ExtTreeModel;
class OutlineDelegate;

// The cover picture, scaled to fit and centred; a double-click asks for the file's covers.
class CoverView : public QLabel
{
    Q_OBJECT
public:
    explicit CoverView(QWidget* parent = nullptr);
    void setImage(const QImage& image, bool fromFile);
    bool coverFromFile() const { return m_fromFile; }
    const QImage& image() const { return m_image; }

signals:
    void doubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void rescale();
    QImage m_image;
    bool m_fromFile = false;
};

class GeneralView : public QWidget
{
    Q_OBJECT
public:
    explicit GeneralView(QWidget* parent = nullptr);

    // Blanks every label, the cover and the stream list.
    void clearDisplay();
    // Shows one file; without data or without general facts the format label says that the
    // file could not be processed.
    void showData(const PerspixDataPtr& data, const QString& path);
    // `reason`: what stopped the reader, when it stopped in its helper process.
    void showCannotProcess(const QString& path, const QString& reason = QString());
    void setBusy(bool busy);
    bool isBusy() const { return m_busyShown; }

    QString kindText() const;
    QString formatText() const;
    QString sizeText() const;
    QString secondaryHeaderText() const;
    QString secondaryValueText() const;
    CoverView* coverView() const { return m_cover; }
    QTreeView* streamList() const { return m_streams; }
    ExtTreeModel* streamModel() const { return m_streamModel; }
    OutlineDelegate* streamDelegate() const { return m_streamDelegate; }

    static const QString kCannotProcess;

signals:
    void streamRowDoubleClicked(const ExtTreeItemPtr& item);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setName(const QString& path);
    void showCover(const PerspixDataPtr& data, const QString& path);
    // The stream list is as tall as its lines (the page's free space stays below it).
    void fitStreamList();

    CoverView* m_cover;
    QLabel* m_name;
    QLabel* m_kind;
    QLabel* m_format;
    QLabel* m_size;
    QLabel* m_secondaryHeader;
    QLabel* m_secondaryValue;
    QProgressBar* m_busy;
    bool m_busyShown = false;
    QTreeView* m_streams;
    ExtTreeModel* m_streamModel;
    OutlineDelegate* m_streamDelegate;
    PerspixDataPtr m_shown; // whose cover may still be made
};

} // namespace perspix
