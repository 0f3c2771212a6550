#include "trees/LibraryTreeModel.h"
#include "core/QuelmarError.h"

int LibraryTreeModel::Node::row() const
{
    if (!parent)
        return 0;
    for (size_t i = 0; i < parent->children.size(); ++i)
        if (parent->children[i].get() == this)
            return int(i);
    return 0;
}

LibraryTreeModel::LibraryTreeModel(Library library, QObject* parent) : QAbstractItemModel(parent), m_library(library)
{
}

LibraryTreeModel::~LibraryTreeModel() = default;

LibraryTreeModel::Node* LibraryTreeModel::nodeOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return const_cast<Node*>(&m_root);
    return static_cast<Node*>(index.internalPointer());
}

QModelIndex LibraryTreeModel::indexOf(const Node* node) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(node->row(), 0, const_cast<Node*>(node));
}

QModelIndex LibraryTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* p = nodeOf(parent);
    if (column != 0 || row < 0 || row >= int(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex LibraryTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOf(nodeOf(child)->parent);
}

int LibraryTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(nodeOf(parent)->children.size());
}

int LibraryTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant LibraryTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Node* n = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->record.Name;
    case IconIndexRole:
        return NodeIconIndex(m_library, n->record, !n->children.empty());
    case ItemIdRole:
        return n->record.ItemID;
    case TypeIdRole:
        return n->record.TypeID;
    case RecordRole:
        return QVariant::fromValue(n->record);
    default:
        return {};
    }
}

QHash<int, QByteArray> LibraryTreeModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(IconIndexRole, "iconIndex");
    names.insert(ItemIdRole, "itemId");
    names.insert(TypeIdRole, "typeId");
    names.insert(RecordRole, "record");
    return names;
}

void LibraryTreeModel::clear()
{
    beginResetModel();
    m_root.children.clear();
    m_byItemId.clear();
    endResetModel();
}

// The recycle bin's icon follows whether it has children: tell views when its children change.
void LibraryTreeModel::binChanged(const Node* parent)
{
    if (parent && parent != &m_root && parent->record.TypeID == NodeKinds::RecycleBin) {
        const QModelIndex i = indexOf(parent);
        emit dataChanged(i, i, {IconIndexRole, Qt::DecorationRole});
    }
}

QModelIndex LibraryTreeModel::addNode(const QModelIndex& parent, const NodeRecord& record, int beforeRow)
{
    if (m_byItemId.contains(record.ItemID))
        throw QuelmarError(QStringLiteral("树中已有关键字为 %1 的节点。").arg(record.ItemID));
    Node* p = nodeOf(parent);
    const int row = (beforeRow < 0 || beforeRow > int(p->children.size())) ? int(p->children.size()) : beforeRow;
    auto node = std::make_unique<Node>();
    node->record = record;
    node->parent = p;
    Node* raw = node.get();
    beginInsertRows(parent, row, row);
    p->children.insert(p->children.begin() + row, std::move(node));
    m_byItemId.insert(record.ItemID, raw);
    endInsertRows();
    binChanged(p);
    return createIndex(row, 0, raw);
}

void LibraryTreeModel::forget(const Node* node)
{
    if (m_byItemId.value(node->record.ItemID) == node)
        m_byItemId.remove(node->record.ItemID);
    for (const auto& c : node->children)
        forget(c.get());
}

void LibraryTreeModel::removeNode(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    Node* n = nodeOf(index);
    Node* p = n->parent;
    const QModelIndex parentIndex = indexOf(p);
    const int row = n->row();
    beginRemoveRows(parentIndex, row, row);
    forget(n);
    p->children.erase(p->children.begin() + row);
    endRemoveRows();
    binChanged(p);
}

void LibraryTreeModel::setRecord(const QModelIndex& index, const NodeRecord& record)
{
    Node* n = nodeOf(index);
    if (!index.isValid())
        return;
    if (record.ItemID != n->record.ItemID) {
        if (m_byItemId.contains(record.ItemID))
            throw QuelmarError(QStringLiteral("树中已有关键字为 %1 的节点。").arg(record.ItemID));
        m_byItemId.remove(n->record.ItemID);
        m_byItemId.insert(record.ItemID, n);
    }
    n->record = record;
    emit dataChanged(index, index);
}

void LibraryTreeModel::rename(const QModelIndex& index, const QString& name)
{
    NodeRecord r = record(index);
    r.Name = name;
    setRecord(index, r);
}

QModelIndex LibraryTreeModel::moveNode(const QModelIndex& index, const QModelIndex& newParent, int beforeRow)
{
    Node* n = nodeOf(index);
    Node* target = nodeOf(newParent);
    if (!index.isValid())
        return {};
    for (const Node* a = target; a; a = a->parent)
        if (a == n)
            throw QuelmarError(QStringLiteral("不能把节点移到它自己的下级中。"));
    Node* from = n->parent;
    const QModelIndex fromIndex = indexOf(from);
    const int row = n->row();
    int dest = (beforeRow < 0 || beforeRow > int(target->children.size())) ? int(target->children.size()) : beforeRow;
    if (from == target && (dest == row || dest == row + 1))
        return index;   // already there
    if (!beginMoveRows(fromIndex, row, row, newParent, dest))
        return index;
    std::unique_ptr<Node> owned = std::move(from->children[size_t(row)]);
    from->children.erase(from->children.begin() + row);
    if (from == target && dest > row)
        --dest;
    owned->parent = target;
    target->children.insert(target->children.begin() + dest, std::move(owned));
    endMoveRows();
    binChanged(from);
    binChanged(target);
    return createIndex(dest, 0, n);
}

NodeRecord LibraryTreeModel::record(const QModelIndex& index) const
{
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有选中节点。"));
    return nodeOf(index)->record;
}

QModelIndex LibraryTreeModel::indexOfItem(int itemId) const
{
    return indexOf(m_byItemId.value(itemId, nullptr));
}

int LibraryTreeModel::iconIndex(const QModelIndex& index) const
{
    return data(index, IconIndexRole).toInt();
}

int LibraryTreeModel::level(const QModelIndex& index) const
{
    int depth = -1;
    for (const Node* n = index.isValid() ? nodeOf(index) : nullptr; n && n != &m_root; n = n->parent)
        ++depth;
    return depth;
}

void LibraryTreeModel::forEachPreOrder(const std::function<void(const QModelIndex&, int)>& visit) const
{
    const std::function<void(const Node*, int)> walk = [&](const Node* parent, int depth) {
        for (const auto& c : parent->children) {
            visit(indexOf(c.get()), depth);
            walk(c.get(), depth + 1);
        }
    };
    walk(&m_root, 0);
}
