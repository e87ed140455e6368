// The preferences window: controls that write the settings store directly as the user
// changes them. One window for the application; the "Advanced" pane shows the versions of
// the metadata readers, found off the main thread once.
#pragma once

#include <QDialog>

#include "model/Settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTabWidget;

namespace perspix {

class PreferencesWindow : public QDialog
{
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    QTabWidget* panes() const { return m_panes; }
    QLabel* versionsLabel() const { return m_versions; }
    // The control bound to a key, for tests and for keyboard focus.
    QWidget* controlForKey(const QString& key) const;

    // The label of the Advanced pane, made from both versions.
    static QString exiftoolVersion();
    static QString versionsText(const QString& mediaInfoVersion, const QString& exiftoolVersion);

private:
    QWidget* buildGeneralPane();
    QWidget* buildAnalysisPane();
    QWidget* buildExperimentalPane();
    QWidget* buildAdvancedPane();
    QCheckBox* boolControl(const QString& key, const QString& text, QWidget* parent);
    QComboBox* choiceControl(const QString& key, const QList<std::pair<QString, QVariant>>& items,
                             QWidget* parent);
    QSpinBox* intControl(const QString& key, int min, int max, QWidget* parent);
    void fillVersionsOnce();

    Settings m_ud;
    QTabWidget* m_panes;
    QLabel* m_versions = nullptr;
    bool m_versionsRequested = false;
    QHash<QString, QWidget*> m_controls;
};

} // namespace perspix
