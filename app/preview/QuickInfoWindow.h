// A small window with one file's extended tree, analysed at once on the main thread and
// without a file list: what the Quick Info hand-over opens, one window per file.
#pragma once

#include <QUrl>
#include <QWidget>

#include "model/PerspixData.h"
#include "model/Settings.h"

class QLabel;

namespace perspix {

class ExtendedOutline;

class QuickInfoWindow : public QWidget
{
    Q_OBJECT
public:
    explicit QuickInfoWindow(QWidget* parent = nullptr);

    void processUrl(const QUrl& url);
    ExtendedOutline* outline() const { return m_outline; }
    // The file's cover or film frame above the tree; hidden without one.
    QLabel* coverLabel() const { return m_cover; }
    const PerspixDataPtr& data() const { return m_data; }
    // The analysis options a quick-info window passes: the four switches of the settings.
    QVariantMap analysisOptions() const;

    void toggleWrapLongLines();
    void applyWrapSetting();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void placeOnScreen();
    void sizeToContent();

    Settings m_ud;
    ExtendedOutline* m_outline;
    QLabel* m_cover;
    PerspixDataPtr m_data;
};

} // namespace perspix
