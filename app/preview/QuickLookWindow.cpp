// The quick-look preview window (see QuickLookWindow.h).
#include "app/preview/QuickLookWindow.h"
#include "model/NativePath.h"

#include <QAudioOutput>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMimeDatabase>
#include <QScreen>
#include <QSlider>
#include <QStackedLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace perspix {

namespace {
// Images larger than this are decoded at a reduced size: a preview never needs more.
constexpr int kMaxPreviewSide = 4096;
QuickLookWindow* s_instance = nullptr;
} // namespace

QuickLookWindow& QuickLookWindow::instance()
{
    if (!s_instance)
        s_instance = new QuickLookWindow;
    return *s_instance;
}

bool QuickLookWindow::isShown()
{
    return s_instance && s_instance->isVisible();
}

QuickLookWindow::QuickLookWindow() : QWidget(nullptr, Qt::Window)
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(tr("Quick Look"));
    resize(720, 540);

    m_picture = new QLabel;
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(120, 90);
    m_picture->setBackgroundRole(QPalette::Dark);
    m_picture->setAutoFillBackground(true);

    m_other = new QWidget;
    m_otherIcon = new QLabel(m_other);
    m_otherIcon->setAlignment(Qt::AlignCenter);
    m_otherText = new QLabel(m_other);
    m_otherText->setAlignment(Qt::AlignCenter);
    m_otherText->setWordWrap(true);
    auto* otherLayout = new QVBoxLayout(m_other);
    otherLayout->addStretch(1);
    otherLayout->addWidget(m_otherIcon);
    otherLayout->addWidget(m_otherText);
    otherLayout->addStretch(1);

    m_mediaPage = new QWidget;
    auto* mediaLayout = new QVBoxLayout(m_mediaPage);
    mediaLayout->setContentsMargins(0, 0, 0, 4);
    m_stack = new QStackedLayout(this);
    m_stack->addWidget(m_picture);
    m_stack->addWidget(m_other);
    m_stack->addWidget(m_mediaPage);
}

void QuickLookWindow::ensurePlayer()
{
    if (m_player)
        return;
    m_video = new QVideoWidget(m_mediaPage);
    m_play = new QToolButton(m_mediaPage);
    m_play->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    m_position = new QSlider(Qt::Horizontal, m_mediaPage);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(6, 0, 6, 0);
    controls->addWidget(m_play);
    controls->addWidget(m_position, 1);
    auto* layout = static_cast<QVBoxLayout*>(m_mediaPage->layout());
    layout->addWidget(m_video, 1);
    layout->addLayout(controls);

    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);
    connect(m_play, &QToolButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState state) {
                m_play->setIcon(style()->standardIcon(state == QMediaPlayer::PlayingState
                                                          ? QStyle::SP_MediaPause
                                                          : QStyle::SP_MediaPlay));
            });
    connect(m_player, &QMediaPlayer::durationChanged, this,
            [this](qint64 duration) { m_position->setRange(0, int(duration)); });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!m_position->isSliderDown())
            m_position->setValue(int(position));
    });
    connect(m_position, &QSlider::sliderMoved, m_player,
            [this](int position) { m_player->setPosition(position); });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) {
                if (m_kind == Kind::Media)
                    showOther(text);
            });
}

void QuickLookWindow::previewFile(const QString& path, QObject* owner)
{
    m_owner = owner;
    if (path != m_path || !isVisible()) {
        m_path = path;
        if (m_player)
            m_player->stop();
        m_image = QImage();
        const QString mime = QMimeDatabase().mimeTypeForFile(path).name();
        if (mime.startsWith(QStringLiteral("video/")) || mime.startsWith(QStringLiteral("audio/")))
            showMedia();
        else
            showImage();
        setWindowTitle(QFileInfo(path).fileName());
    }
    if (!isVisible()) {
        show();
        raise();
    }
}

void QuickLookWindow::showImage()
{
    QImageReader reader(m_path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kMaxPreviewSide)
        reader.setScaledSize(size.scaled(kMaxPreviewSide, kMaxPreviewSide, Qt::KeepAspectRatio));
    m_image = reader.read();
    if (m_image.isNull()) {
        showOther(QString());
        return;
    }
    m_kind = Kind::Image;
    m_stack->setCurrentWidget(m_picture);
    resizeEvent(nullptr);
}

void QuickLookWindow::showMedia()
{
    ensurePlayer();
    m_kind = Kind::Media;
    m_stack->setCurrentWidget(m_mediaPage);
    m_player->setSource(NativePath::url(m_path));
    m_player->play();
}

void QuickLookWindow::showOther(const QString& reason)
{
    m_kind = Kind::Other;
    const QFileInfo info(m_path);
    m_otherIcon->setPixmap(QFileIconProvider().icon(info).pixmap(128, 128));
    QString text = QStringLiteral("<b>%1</b><br>%2")
                       .arg(info.fileName().toHtmlEscaped(),
                            QMimeDatabase().mimeTypeForFile(info).comment().toHtmlEscaped());
    if (!reason.isEmpty())
        text += QStringLiteral("<br><small>%1</small>").arg(reason.toHtmlEscaped());
    m_otherText->setText(text);
    m_stack->setCurrentWidget(m_other);
}

void QuickLookWindow::closePreview()
{
    if (m_player)
        m_player->stop();
    hide();
}

void QuickLookWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        closePreview();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QuickLookWindow::resizeEvent(QResizeEvent* event)
{
    if (event)
        QWidget::resizeEvent(event);
    if (m_kind != Kind::Image || m_image.isNull())
        return;
    const QSize area = m_picture->size() * m_picture->devicePixelRatioF();
    QImage scaled = m_image.size().boundedTo(area) == m_image.size()
                        ? m_image
                        : m_image.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(m_picture->devicePixelRatioF());
    m_picture->setPixmap(QPixmap::fromImage(scaled));
}

void QuickLookWindow::closeEvent(QCloseEvent* event)
{
    if (m_player)
        m_player->stop();
    QWidget::closeEvent(event);
}

} // namespace perspix
