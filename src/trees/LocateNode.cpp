#include "trees/LocateNode.h"
#include "trees/LibraryTreeModel.h"

#include <QList>

NodeLocator::NodeLocator(const LibraryTreeModel& tree) : m_tree(tree) {}

bool NodeLocator::matches(const QString& nodeText, const QString& trimmedText, bool wholeText)
{
    if (wholeText)
        return nodeText == trimmedText;
    return !trimmedText.isEmpty() && nodeText.contains(trimmedText, Qt::CaseSensitive);
}

QModelIndex NodeLocator::findNext(const QString& text, bool backward, bool wholeText, const QModelIndex& selected)
{
    const QString trimmed = text.trimmed();
    if (backward != m_backward || wholeText != m_whole || trimmed != m_text) {
        m_hits = 0;
        m_backward = backward;
        m_whole = wholeText;
        m_text = trimmed;
    }
    // The flat order: absolute index 0 is the root.
    QList<QModelIndex> flat;
    flat.reserve(m_tree.nodeCount());
    int at = -1;
    m_tree.forEachPreOrder([&](const QModelIndex& node, int) {
        if (node == selected)
            at = int(flat.size());
        flat.append(node);
    });
    if (flat.isEmpty())
        return {};
    const int last = int(flat.size()) - 1;
    int from = 0;
    if (!backward)
        from = at < 0 ? 0 : (m_hits == 0 ? at : at + 1);
    else
        from = at < 0 ? last : (m_hits == 0 ? at : at - 1);
    const int step = backward ? -1 : 1;
    for (int i = from; i >= 0 && i <= last; i += step) {
        if (matches(flat.at(i).data().toString(), trimmed, wholeText)) {
            ++m_hits;
            return flat.at(i);
        }
    }
    return {};
}

QString NodeNotFoundMessage(const QString& trimmedText)
{
    return QStringLiteral("“%1” 没有被找到！").arg(trimmedText);
}
