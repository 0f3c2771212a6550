#pragma once
#include "store/RowSet.h"
#include "trees/LibraryTreeModel.h"
#include "trees/TreeBuilder.h"

#include <QPersistentModelIndex>

class TDataPoolDM;

// One library as the program holds it: the cached copy of its rows (cdsMoban / cdsZiLiao / cdsGuiDang), its tree
// and, for the template and project libraries, its recycle-bin node. The main window keeps one per library; the
// CLI builds the one it needs. Node operations edit `rows`, call applyUpdates() (write + merge) and then change
// `tree`, so the three stay in step.
class LibraryData {
public:
    explicit LibraryData(Library library);

    Library library() const { return m_library; }
    RowSet rows;
    LibraryTreeModel tree;

    // Fetches the rows the user sees (template: all; project and archive: the user's and Everyone's), clears and
    // builds the tree from parent key -1 and locates the recycle bin (a missing bin fails with its message).
    void load(TDataPoolDM& dm, const QString& userName, const RefreshCallback& refresh = {});
    bool isLoaded() const { return rows.isOpen(); }

    // Writes the cached copy's change log through the library's apply (under `userName`) and merges it. An empty
    // change log writes nothing. On failure nothing is merged and the message is raised.
    void applyUpdates(TDataPoolDM& dm, const QString& userName);

    // The recycle-bin node after load (invalid for the archive library).
    QModelIndex recycleNode() const { return m_recycle; }

private:
    Library m_library;
    QPersistentModelIndex m_recycle;
};
