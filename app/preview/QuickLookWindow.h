// The preview window of the quick-look command: a still image through QImageReader, films
// and sound through Qt Multimedia, the file's icon and name for anything else. One window
// for the whole program, fed by the main window that last asked for it; Space or Escape
// closes it again.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QMediaPlayer;
class QAudioOutput;
class QStackedLayout;
class QVideoWidget;
class QSlider;
class QToolButton;

namespace perspix {

class QuickLookWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { None, Image, Media, Other };

    static QuickLookWindow& instance();
    static bool isShown();

    // Shows the file (and the window); the owner is the window whose selection feeds it.
    void previewFile(const QString& path, QObject* owner);
    // Hides the window and stops playing.
    void closePreview();
    QObject* owner() const { return m_owner; }
    QString path() const { return m_path; }
    Kind kind() const { return m_kind; }
    // The picture shown for a still image (full size, orientation applied).
    const QImage& image() const { return m_image; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QuickLookWindow();
    void showImage();
    void showMedia();
    void showOther(const QString& reason);
    void ensurePlayer();

    QPointer<QObject> m_owner;
    QString m_path;
    Kind m_kind = Kind::None;
    QImage m_image;
    QStackedLayout* m_stack = nullptr;
    QLabel* m_picture = nullptr;
    QWidget* m_other = nullptr;
    QLabel* m_otherIcon = nullptr;
    QLabel* m_otherText = nullptr;
    QWidget* m_mediaPage = nullptr;
    QVideoWidget* m_video = nullptr;
    QToolButton* m_play = nullptr;
    QSlider* m_position = nullptr;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
};

} // namespace perspix
