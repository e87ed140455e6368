// Row layout of outlines (see OutlineDelegate.h).
#include "app/mainwindow/OutlineDelegate.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QTextDocument>
#include <QTreeView>

#include "app/TextBreaks.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "model/ExtTreeItem.h"

namespace perspix {

namespace {

int textMargin(const QStyleOptionViewItem& option)
{
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
}

// A stream line whose tail is the stream's title, drawn in italics.
void layoutStyled(QTextDocument& doc, const StyledText& styled, const QFont& font, int width,
                  bool wrap)
{
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    QTextOption textOption;
    textOption.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    doc.setDefaultTextOption(textOption);
    const QString head = styled.text.left(styled.italicStart).toHtmlEscaped();
    const QString tail = styled.text.mid(styled.italicStart).toHtmlEscaped();
    doc.setHtml(head + QStringLiteral("<i>") + tail + QStringLiteral("</i>"));
    doc.setTextWidth(wrap ? width : -1);
}

} // namespace

OutlineDelegate::OutlineDelegate(QTreeView* view) : QStyledItemDelegate(view), m_view(view)
{
    connect(view->header(), &QHeaderView::sectionResized, this, [this] {
        if (m_wrap)
            relayout();
    });
}

void OutlineDelegate::setWrapLongLines(bool wrap)
{
    if (m_wrap == wrap)
        return;
    m_wrap = wrap;
    m_view->setWordWrap(wrap);
    m_view->setTextElideMode(wrap ? Qt::ElideNone : Qt::ElideRight);
    relayout();
}

void OutlineDelegate::setRightAlignNames(bool on)
{
    m_rightAlign = on;
    m_view->viewport()->update();
}

void OutlineDelegate::setBoldNames(bool on)
{
    if (m_boldNames == on)
        return;
    m_boldNames = on;
    relayout();
}

void OutlineDelegate::setRowPadding(int pixels)
{
    m_padding = std::max(0, pixels);
    relayout();
}

void OutlineDelegate::relayout()
{
    // Row heights are cached by the view; a delayed layout measures every row again.
    m_view->doItemsLayout();
}

int OutlineDelegate::textWidthForIndex(const QModelIndex& index) const
{
    const QHeaderView* header = m_view->header();
    int width = header->sectionSize(index.column());
    if (index.column() == 0) {
        if (m_view->isFirstColumnSpanned(index.row(), index.parent()))
            width = m_view->viewport()->width();
        int level = 0;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            ++level;
        const int steps = m_view->rootIsDecorated() ? level + 1 : level;
        width -= steps * m_view->indentation();
    }
    return std::max(width, 16);
}

void OutlineDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_wrap) {
        option->features |= QStyleOptionViewItem::WrapText;
        option->text = withBreakOpportunities(option->text);
    } else
        option->features &= ~QStyleOptionViewItem::WrapText;
    option->textElideMode = m_wrap ? Qt::ElideNone : Qt::ElideRight;
    Qt::Alignment horizontal = Qt::AlignLeft;
    const bool name = index.column() == ExtTreeModel::NameColumn &&
                      !index.data(ExtTreeModel::IsGroupRole).toBool() &&
                      !index.siblingAtColumn(ExtTreeModel::ValueColumn).data().toString().isEmpty();
    if (name && m_rightAlign)
        horizontal = Qt::AlignRight;
    if (name && m_boldNames)
        option->font.setBold(true);
    option->displayAlignment = horizontal | (m_padding > 0 ? Qt::AlignVCenter : Qt::AlignTop);
}

void OutlineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const QVariant styledValue = index.data(ExtTreeModel::StyledTextRole);
    if (!styledValue.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = textMargin(opt);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(margin, 0, -margin, 0);
    QTextDocument doc;
    layoutStyled(doc, styledValue.value<StyledText>(), opt.font, textRect.width(), m_wrap);
    painter->save();
    // Centred in a padded row as the plain values beside it are.
    const int spare = textRect.height() - qCeil(doc.size().height());
    const int top = (opt.displayAlignment & Qt::AlignVCenter) && spare > 0 ? spare / 2 : 0;
    painter->translate(textRect.topLeft() + QPoint(0, top));
    painter->setClipRect(QRect(QPoint(0, 0), textRect.size()));
    QAbstractTextDocumentLayout::PaintContext context;
    const bool selected = opt.state & QStyle::State_Selected;
    context.palette = opt.palette;
    context.palette.setColor(
        QPalette::Text, opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    doc.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize OutlineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    QSize standard = QStyledItemDelegate::sizeHint(option, index);
    standard.rheight() += 2 * m_padding;
    if (!m_wrap)
        return standard;
    const int width = textWidthForIndex(index);
    const QVariant styledValue = index.data(ExtTreeModel::StyledTextRole);
    int height = 0;
    if (styledValue.isValid()) {
        QTextDocument doc;
        layoutStyled(doc, styledValue.value<StyledText>(), opt.font, width - 2 * textMargin(opt),
                     true);
        height = qCeil(doc.size().height()) + 2;
    } else {
        opt.rect = QRect(0, 0, width, 1);
        const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        height =
            style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget).height();
    }
    return {standard.width(), std::max(standard.height(), height + 2 * m_padding)};
}

} // namespace perspix
