// The small sheet in which the user saves a comparison: a format menu (CSV or HTML), then a
// save dialog. The texts come from the export delegate, the view that shows the comparison.
#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

class QComboBox;

namespace perspix {

// Anything that can give the whole export text of its comparison.
class ComparisonExportDelegate
{
public:
    virtual ~ComparisonExportDelegate() = default;
    virtual QString csvExportString() const = 0;
    virtual QString htmlExportString() const = 0;
};

struct ComparisonExportType
{
    QString id;
    QString name;
};

class ComparisonExportWinController : public QDialog
{
    Q_OBJECT
public:
    // Opens the sheet on the window; it deletes itself when closed.
    static ComparisonExportWinController* openPanelForWindow(QWidget* window,
                                                             ComparisonExportDelegate* delegate);

    ComparisonExportWinController(QWidget* window, ComparisonExportDelegate* delegate);

    // "csv" then "html".
    static const QList<ComparisonExportType>& comparisonExportSaveTypes();

    QComboBox* formatPopup() const { return m_formatPopup; }
    QString selectedFormat() const;
    ComparisonExportDelegate* exportDelegate() const { return m_delegate; }
    void setExportDelegate(ComparisonExportDelegate* delegate) { m_delegate = delegate; }

    // Shows the save dialog for the chosen format.
    void doExport();
    void cancelExport();
    // Writes the delegate's text for the format to the path (whole, UTF-8); on success the
    // sheet closes, on failure it stays open.
    bool exportToPath(const QString& path, const QString& formatId);

private:
    QComboBox* m_formatPopup;
    ComparisonExportDelegate* m_delegate;
};

} // namespace perspix
