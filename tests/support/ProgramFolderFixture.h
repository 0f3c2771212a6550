#pragma once
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "trees/NodeRecord.h"

#include <QTemporaryDir>

#include <memory>

// A fresh program folder in a temporary directory, made as `quelmar-cli init` makes it, with its data module open
// (in the server run, the folder's database is a schema of the test server).
class ProgramFolderFixture {
public:
    ProgramFolderFixture();
    ~ProgramFolderFixture();

    const AppPaths& paths() const { return m_paths; }
    TDataPoolDM& dm() { return *m_dm; }
    QString dir() const { return m_dir.path(); }

    // Writes node rows straight through the data module (the library's apply, hooks included).
    void addNode(Library library, const NodeRecord& record, const QString& userId = QStringLiteral("Everyone"),
                 int partIndex = 0);
    // A node with a blank table file of its own (in the library's folder `record.iDir`); false if the file could not
    // be made.
    bool addForm(Library library, const NodeRecord& record, const QString& userId, int partIndex);
    // Puts the recycle bin's row (ItemID 1) after `count` children of the library's root.
    void placeBin(Library library, int count, const QString& userId = QStringLiteral("Admin"));
    // A new, empty header-fill record; returns its ID.
    int addFillRecord();
    // The road project most window tests work on, owned by `userId`: "G318改建工程" (ItemID 2, folder 1) with the
    // division "路基工程" (3), the data category "土方路基" (4), the sub-item "压实度检验" (5, with a blank header-fill
    // record) and its forms "K12 压实度", "K13 压实度", "K14 压实度" (6-8, files 2-4), then the bin.
    void addRoadProject(const QString& userId = QStringLiteral("Admin"));
    // Adds a user; an empty password is stored as none.
    void addUser(const QString& name, const QString& password, int opType);

private:
    QTemporaryDir m_dir;
    DatabaseLocation m_server;   // on the test server: the folder's schema
    AppPaths m_paths;
    std::unique_ptr<TDataPoolDM> m_dm;
};

// A node record in one line: kind, key, name, parent, folder, file, extension, header-fill record.
NodeRecord nodeRec(int typeId, int itemId, const QString& name, int parent, int iDir = 0, int fileName = 0,
                   const QString& ext = QString(), int fillMode = 0);
