// Row layout shared by the extended outline, the general stream list and the quick-info
// outline: rows as tall as their wrapped text, parameter names optionally right-aligned,
// and the italic tail of styled stream lines.
#pragma once

#include <QStyledItemDelegate>

class QTreeView;

namespace perspix {

class OutlineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit OutlineDelegate(QTreeView* view);

    bool wrapLongLines() const { return m_wrap; }
    // Applies the wrapping and measures every row again.
    void setWrapLongLines(bool wrap);
    void setRightAlignNames(bool on);
    // Parameter names (not group titles) in bold.
    void setBoldNames(bool on);
    // Room above and below each row's text, which is then centred in its row.
    void setRowPadding(int pixels);
    // Measures every row again, after a change of font or width.
    void relayout();

    // Width available to the text of a cell: the column's width, less the indentation in the
    // first column.
    int textWidthForIndex(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QTreeView* m_view;
    bool m_wrap = true;
    bool m_rightAlign = true;
    bool m_boldNames = false;
    int m_padding = 0;
};

} // namespace perspix
