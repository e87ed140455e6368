// The empty window's drop target (see DropTargetView.h).
#include "app/mainwindow/DropTargetView.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace perspix {

const char* const DropTargetView::kPrompt = QT_TR_NOOP("Drop files or folders here");

namespace {
constexpr int kMargin = 24;
constexpr qreal kRadius = 12;
} // namespace

DropTargetView::DropTargetView(QWidget* parent) : QWidget(parent), m_open(new QPushButton(this))
{
    setObjectName(QStringLiteral("dropTarget"));
    auto* prompt = new QLabel(tr(kPrompt), this);
    prompt->setObjectName(QStringLiteral("dropPrompt"));
    prompt->setAlignment(Qt::AlignCenter);
    QFont big = prompt->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    prompt->setFont(big);
    QPalette muted = prompt->palette();
    muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
    prompt->setPalette(muted);

    m_open->setText(tr("Open…"));
    connect(m_open, &QPushButton::clicked, this, &DropTargetView::openRequested);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addStretch(1);
    layout->addWidget(prompt);
    layout->addSpacing(12);
    layout->addWidget(m_open, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void DropTargetView::setHighlighted(bool on)
{
    if (m_highlighted == on)
        return;
    m_highlighted = on;
    update();
}

void DropTargetView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = m_highlighted ? palette().color(QPalette::Highlight)
                                        : palette().color(QPalette::PlaceholderText);
    QPen pen(colour, m_highlighted ? 3 : 2, Qt::DashLine);
    painter.setPen(pen);
    const QRectF frame =
        QRectF(rect()).adjusted(kMargin / 2, kMargin / 2, -kMargin / 2, -kMargin / 2);
    painter.drawRoundedRect(frame, kRadius, kRadius);
}

} // namespace perspix
