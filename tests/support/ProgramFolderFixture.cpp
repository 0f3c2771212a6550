#include "support/ProgramFolderFixture.h"
#include "core/PasswordHash.h"
#include "store/ProgramFolder.h"
#include "store/RowSet.h"
#include "support/TestDatabase.h"

ProgramFolderFixture::ProgramFolderFixture()
{
    if (TestOnServer()) {
        m_server = NewTestServerLocation();
        m_paths = CreateProgramFolder(m_dir.path() + QStringLiteral("/app"), m_server);
    } else {
        m_paths = CreateProgramFolder(m_dir.path() + QStringLiteral("/app"));
    }
    m_dm = std::make_unique<TDataPoolDM>(ProgramDatabase(m_paths));
}

ProgramFolderFixture::~ProgramFolderFixture()
{
    m_dm.reset();
    if (m_server.isServer())
        DropTestSchema(m_server);
}

void ProgramFolderFixture::addNode(Library library, const NodeRecord& record, const QString& userId, int partIndex)
{
    RowSet rows;
    switch (library) {
    case Library::Moban: rows.load(m_dm->GetMobanData()); break;
    case Library::ZiLiao: rows.load(m_dm->GetZiLiaoData(userId)); break;
    case Library::GuiDang: rows.load(m_dm->GetGuiDangData(userId)); break;
    }
    QVariantMap values = record.toValues();
    values.insert(QStringLiteral("iPartIndex"), partIndex);
    if (LibraryHasOwner(library))
        values.insert(QStringLiteral("UserID"), userId);
    rows.append(values);
    switch (library) {
    case Library::Moban: m_dm->ApplyMobanUpdates(rows.changeLog()); break;
    case Library::ZiLiao: m_dm->ApplyZiLiaoUpdates(userId, rows.changeLog()); break;
    case Library::GuiDang: m_dm->ApplyGuiDangUpdates(userId, rows.changeLog()); break;
    }
}

void ProgramFolderFixture::addUser(const QString& name, const QString& password, int opType)
{
    RowSet rows;
    rows.load(m_dm->GetCzyData());
    rows.append({{QStringLiteral("opName"), name},
                 {QStringLiteral("opPassword"), PasswordHash::hash(password)},
                 {QStringLiteral("opType"), opType}});
    m_dm->ApplyCzyUpdates(rows.changeLog());
}

NodeRecord nodeRec(int typeId, int itemId, const QString& name, int parent, int iDir, int fileName,
                   const QString& ext, int fillMode)
{
    NodeRecord r;
    r.TypeID = typeId;
    r.ItemID = itemId;
    r.Name = name;
    r.P_ItemID = parent;
    r.iDir = iDir;
    r.File_Name = fileName;
    r.Ext = ext;
    r.FillMode = fillMode;
    return r;
}
