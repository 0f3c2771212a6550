#pragma once
#include "app/IconFactory.h"
#include "trees/LibraryTreeModel.h"

#include <QPainter>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Shows each node of a library tree with the picture of its image index. While a node is dragged over the tree,
// the node under the mouse that would take the drop is framed (the drop highlight).
class NodeIconDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setDropTarget(const QModelIndex& index) { m_dropTarget = index; }
    QModelIndex dropTarget() const { return m_dropTarget; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_dropTarget.isValid() && index == m_dropTarget) {
            painter->save();
            const QColor highlight = option.palette.color(QPalette::Highlight);
            QColor fill = highlight;
            fill.setAlpha(60);
            painter->fillRect(option.rect, fill);
            painter->setPen(QPen(highlight, 1));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int image = index.data(LibraryTreeModel::IconIndexRole).toInt();
        if (image >= 0) {
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->icon = IconFactory::nodeIcon(image);
            option->decorationSize = QSize(16, 16);
        }
    }

private:
    QPersistentModelIndex m_dropTarget;
};
