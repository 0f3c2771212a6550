#pragma once
#include "app/IconFactory.h"
#include "trees/LibraryTreeModel.h"

#include <QStyledItemDelegate>

// Shows each node of a library tree with the picture of its image index.
class NodeIconDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

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
};
