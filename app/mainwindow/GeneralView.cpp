// The General tab (see GeneralView.h).
#include "app/mainwindow/GeneralView.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/mainwindow/CoverMaker.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/FilelistModel.h"
#include "app/mainwindow/OutlineDelegate.h"
#include "model/Keys.h"

namespace perspix {

const QString GeneralView::kCannotProcess = QStringLiteral("Can not process the file");

namespace {
constexpr int kCoverSize = 180;

QLabel* valueLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}
} // namespace

CoverView::CoverView(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setFixedSize(kCoverSize, kCoverSize);
}

void CoverView::setImage(const QImage& image, bool fromFile)
{
    m_image = image;
    m_fromFile = fromFile;
    rescale();
}

void CoverView::rescale()
{
    if (m_image.isNull()) {
        clear();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage scaled = m_image;
    if (m_image.width() > width() * ratio || m_image.height() > height() * ratio)
        scaled = m_image.scaled(size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(scaled);
    pixmap.setDevicePixelRatio(ratio);
    setPixmap(pixmap);
}

void CoverView::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    rescale();
}

void CoverView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

GeneralView::GeneralView(QWidget* parent)
    : QWidget(parent), m_cover(new CoverView(this)), m_name(new QLabel(this)),
      m_kind(valueLabel(this)), m_format(valueLabel(this)), m_size(valueLabel(this)),
      m_secondaryHeader(new QLabel(this)), m_secondaryValue(valueLabel(this)),
      m_busy(new QProgressBar(this)), m_streams(new QTreeView(this)),
      m_streamModel(new ExtTreeModel(this)), m_streamDelegate(new OutlineDelegate(m_streams))
{
    QFont nameFont = m_name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    m_name->setFont(nameFont);
    m_name->setWordWrap(true);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    connect(&CoverMaker::instance(), &CoverMaker::coverMade, this, [this](const QString& path) {
        if (m_shown && m_shown->filename == path)
            showCover(m_shown, path);
    });

    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setMaximumWidth(160);
    m_busy->hide();

    auto* facts = new QFormLayout;
    facts->setLabelAlignment(Qt::AlignRight);
    facts->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    facts->addRow(tr("Kind:"), m_kind);
    facts->addRow(tr("Format:"), m_format);
    facts->addRow(tr("Size:"), m_size);
    facts->addRow(m_secondaryHeader, m_secondaryValue);

    auto* text = new QVBoxLayout;
    text->addWidget(m_name);
    text->addLayout(facts);
    text->addWidget(m_busy);
    text->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_cover, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    m_streams->setModel(m_streamModel);
    m_streams->setItemDelegate(m_streamDelegate);
    m_streams->setRootIsDecorated(false);
    m_streams->setHeaderHidden(true);
    m_streams->setUniformRowHeights(false);
    m_streams->setAlternatingRowColors(true);
    m_streams->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_streams->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_streams->setFocusPolicy(Qt::NoFocus);
    m_streams->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_streams->header()->setStretchLastSection(true);
    m_streams->header()->resizeSection(0, 110);
    // A list of a few lines reads as part of the page: no box, lines with room to breathe.
    m_streams->setFrameShape(QFrame::NoFrame);
    m_streamDelegate->setRowPadding(4);
    connect(m_streams, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const ExtTreeItemPtr item = m_streamModel->itemForIndex(index.siblingAtColumn(0)))
            emit streamRowDoubleClicked(item);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(m_streams, 0);
    layout->addStretch(1);
    clearDisplay();
}

void GeneralView::setName(const QString& path)
{
    m_name->setText(path.isEmpty() ? QString() : QFileInfo(path).fileName());
}

void GeneralView::clearDisplay()
{
    m_shown.reset();
    m_cover->setImage({}, false);
    m_name->clear();
    m_kind->clear();
    m_format->clear();
    m_size->clear();
    m_secondaryHeader->clear();
    m_secondaryValue->clear();
    m_streamModel->clear();
    fitStreamList();
}

void GeneralView::showCannotProcess(const QString& path, const QString& reason)
{
    clearDisplay();
    setName(path);
    m_format->setText(reason.isEmpty() ? kCannotProcess
                                       : QStringLiteral("%1: %2").arg(kCannotProcess, reason));
    if (!path.isEmpty())
        m_cover->setImage(FilelistModel::fileIcon(path).pixmap(256).toImage(), false);
}

void GeneralView::showData(const PerspixDataPtr& data, const QString& path)
{
    const GeneralRecord* general = data ? data->generalInfo() : nullptr;
    if (!general || (general->values.isEmpty() && general->streams.isEmpty())) {
        showCannotProcess(path);
        return;
    }
    clearDisplay();
    setName(path);
    m_kind->setText(general->string(keys::kFileKind));
    m_format->setText(general->string(keys::kFormat));
    m_size->setText(general->string(keys::kFilesize));

    const QString duration = general->string(keys::kDuration);
    if (duration.isEmpty()) {
        if (!general->string(keys::kImageSize).isEmpty()) {
            m_secondaryHeader->setText(tr("Image Size:"));
            m_secondaryValue->setText(general->string(keys::kImageSizeMP));
        }
    } else {
        m_secondaryHeader->setText(tr("Duration:"));
        const QString bitrate = general->string(keys::kBitrate);
        m_secondaryValue->setText(
            bitrate.isEmpty() ? duration : QStringLiteral("%1 (%2)").arg(duration, bitrate));
    }

    m_shown = data;
    showCover(data, path);

    m_streamModel->setContent(general->streams);
    fitStreamList();
}

void GeneralView::showCover(const PerspixDataPtr& data, const QString& path)
{
    bool fromFile = false;
    const QImage cover = FilelistModel::coverImage(data, &fromFile);
    if (!cover.isNull())
        m_cover->setImage(cover, fromFile);
    else
        m_cover->setImage(FilelistModel::fileIcon(path).pixmap(256).toImage(), false);
}

void GeneralView::fitStreamList()
{
    int height = 2 * m_streams->frameWidth();
    for (int row = 0; row < m_streamModel->rowCount(); ++row)
        height += std::max(m_streams->sizeHintForRow(row), 1);
    m_streams->setMaximumHeight(std::max(height, 2 * m_streams->frameWidth() + 4));
    // A file without stream lines (a still image, a film read by ExifTool) shows no empty strip.
    m_streams->setVisible(m_streamModel->rowCount() > 0);
}

void GeneralView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitStreamList();
}

void GeneralView::setBusy(bool busy)
{
    m_busyShown = busy;
    m_busy->setVisible(busy);
}

QString GeneralView::kindText() const
{
    return m_kind->text();
}
QString GeneralView::formatText() const
{
    return m_format->text();
}
QString GeneralView::sizeText() const
{
    return m_size->text();
}
QString GeneralView::secondaryHeaderText() const
{
    return m_secondaryHeader->text();
}
QString GeneralView::secondaryValueText() const
{
    return m_secondaryValue->text();
}

} // namespace perspix
