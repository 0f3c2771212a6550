#include "support/ProgramFolderFixture.h"
#include "core/PasswordHash.h"
#include "store/ProgramFolder.h"
#include "core/QuelmarError.h"
#include "store/FileLayout.h"
#include "store/RowSet.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>

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

bool ProgramFolderFixture::addForm(Library library, const NodeRecord& record, const QString& userId, int partIndex)
{
    addNode(library, record, userId, partIndex);
    const QString folder = library == Library::Moban ? m_paths.MobanFolderPath(record.iDir) : m_paths.ZiLiaoFolderPath(record.iDir);
    QDir().mkpath(folder);
    return QFile::copy(m_paths.BlankTableFile, FileLayout::NodeFilePath(folder, record.File_Name, record.Ext));
}

void ProgramFolderFixture::placeBin(Library library, int count, const QString& userId)
{
    RowSet rows;
    rows.load(library == Library::Moban ? m_dm->GetMobanData() : m_dm->GetZiLiaoData(userId));
    rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), count);
    if (library == Library::Moban)
        m_dm->ApplyMobanUpdates(rows.changeLog());
    else
        m_dm->ApplyZiLiaoUpdates(userId, rows.changeLog());
}

int ProgramFolderFixture::addFillRecord()
{
    const int fill = m_dm->NewFillRangeKey();
    RowSet rows;
    rows.load(m_dm->GetHeadingFillRangeData(fill), QStringLiteral("ID"));
    rows.append({{QStringLiteral("ID"), fill}});
    m_dm->ApplyHeadingFillRangeUpdates(fill, rows.changeLog());
    return fill;
}

void ProgramFolderFixture::addRoadProject(const QString& userId)
{
    addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("G318改建工程"), 0, 1), userId, 0);
    addNode(Library::ZiLiao, nodeRec(3, 3, QStringLiteral("路基工程"), 2, 1), userId, 0);
    addNode(Library::ZiLiao, nodeRec(4, 4, QStringLiteral("土方路基"), 3, 1), userId, 0);
    const int fill = addFillRecord();
    const bool made = addForm(Library::ZiLiao, nodeRec(5, 5, QStringLiteral("压实度检验"), 4, 1, 1, QStringLiteral(".cll"), fill), userId, 0)
        && addForm(Library::ZiLiao, nodeRec(6, 6, QStringLiteral("K12 压实度"), 5, 1, 2, QStringLiteral(".cll")), userId, 0)
        && addForm(Library::ZiLiao, nodeRec(6, 7, QStringLiteral("K13 压实度"), 5, 1, 3, QStringLiteral(".cll")), userId, 1)
        && addForm(Library::ZiLiao, nodeRec(6, 8, QStringLiteral("K14 压实度"), 5, 1, 4, QStringLiteral(".cll")), userId, 2);
    if (!made)
        throw QuelmarError(QStringLiteral("the road project's forms could not be written"));
    placeBin(Library::ZiLiao, 1, userId);
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
