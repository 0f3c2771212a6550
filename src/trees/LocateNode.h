#pragma once
#include <QModelIndex>
#include <QString>

class LibraryTreeModel;

// The search of the find dialog ("查找"): steps through the nodes of one tree whose text matches, downwards or
// upwards, in the tree's flat order (a node, then its whole subtree, then its next sibling; collapsed branches
// included). The state is the dialog's: direction, whole-text flag and trimmed text of the last search, and the
// hits found so far with them.
class NodeLocator {
public:
    explicit NodeLocator(const LibraryTreeModel& tree);

    // One press of "查找下一个(&F)": `text` as typed (trimmed here), `selected` the tree's selected node (invalid:
    // none). Settings that differ from the last search start a new one (hit count 0). With no hit yet the search
    // starts at the selected node itself, after a hit next to it; it never wraps around. Returns the match (to be
    // selected; the hit count then grows by one), or an invalid index when nothing matches.
    QModelIndex findNext(const QString& text, bool backward, bool wholeText, const QModelIndex& selected);

    int hits() const { return m_hits; }
    // Whether a node's text matches: equal with whole-text matching, else containing the (non-empty) text;
    // case-sensitive.
    static bool matches(const QString& nodeText, const QString& trimmedText, bool wholeText);

private:
    const LibraryTreeModel& m_tree;
    bool m_backward = false;
    bool m_whole = false;
    QString m_text;
    int m_hits = 0;
};

// "“%s” 没有被找到！"
QString NodeNotFoundMessage(const QString& trimmedText);
