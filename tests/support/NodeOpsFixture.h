#pragma once
#include "core/ScriptedPrompter.h"
#include "support/ProgramFolderFixture.h"
#include "trees/LibraryData.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QStringList>
#include <QVariantMap>

// A program folder with one library loaded as user Admin, a scripted prompter and a scripted viewer: what the node
// operations run on in the tests.
class NodeOpsFixture {
public:
    explicit NodeOpsFixture(Library library);

    ProgramFolderFixture folder;
    TLoginInfo login{QStringLiteral("Admin"), 1};
    ScriptedPrompter prompter;
    LibraryData data;
    bool headerFillPending = false;
    bool viewerOpen = false;
    int viewerClosed = 0;
    QStringList objectCounts;

    NodeOps ops();
    // Loads the library again from the database.
    void reload();
    QModelIndex node(int itemId) const { return data.tree.indexOfItem(itemId); }
    NodeRecord record(int itemId) const { return data.tree.record(node(itemId)); }

    // Writes a row straight to the database (hooks included) and reloads; the recycle bin is kept last.
    void seed(const NodeRecord& r, int partIndex, const QString& userId = QStringLiteral("Admin"));
    // "name(children...)" of the tree as held, or of a fresh load of the database with ":iPartIndex" after each
    // name.
    QString shape() const;
    QString dbShape();
    // The row as the database holds it, empty when there is none.
    QVariantMap dbRow(int itemId);
    // The header-fill record with that ID, empty when there is none.
    QVariantMap fillRange(int id);
    // The full path of a node's file (template or project folders).
    QString filePath(const NodeRecord& r) const;
    // Makes a node folder (as the wizard does for a project).
    void makeFolder(int iDir);
};
