// Exchange packages: every package kind of both libraries goes out and comes back with its structure, names, order,
// files and header-fill positions, renumbered into its new place; the cabinets are ones that cabextract accepts; a
// hostile or damaged package is refused before anything is created; external documents travel inside packages.
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "exchange/Cabinet.h"
#include "exchange/Backup.h"
#include "exchange/ExternalFiles.h"
#include "exchange/Package.h"
#include "exchange/SaveAsStyle.h"
#include "projects/NewProject.h"
#include "projects/SampleTemplate.h"
#include "store/FaultPoint.h"
#include "store/FileLayout.h"
#include "support/FolderState.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestDatabase.h"
#include "support/TestSupport.h"
#include "trees/NodeFiles.h"
#include "trees/NodeKinds.h"
#include "users/Login.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#pragma push_macro("signals")
#undef signals
#include <libgcab.h>
#pragma pop_macro("signals")

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "-";
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex().left(8);
}

// A backup whose manifest says `size` for its first file, with the trailer's place and checksum made to fit (what
// a forger would do: the checksum guards against damage, not against intent).
QByteArray withFirstFileSize(const QByteArray& backup, double size)
{
    const auto le64 = [](quint64 v) {
        QByteArray b(8, '\0');
        for (int i = 0; i < 8; ++i)
            b[i] = char((v >> (8 * i)) & 0xff);
        return b;
    };
    const auto readLe64 = [&](qsizetype at) {
        quint64 v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | quint8(backup[at + i]);
        return v;
    };
    const qsizetype trailer = backup.size() - 56;
    const qsizetype offset = qsizetype(readLe64(trailer)), length = qsizetype(readLe64(trailer + 8));
    QJsonObject manifest = QJsonDocument::fromJson(backup.mid(offset, length)).object();
    QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
    QJsonObject first = files.at(0).toObject();
    first.insert(QStringLiteral("size"), size);
    files[0] = first;
    manifest.insert(QStringLiteral("files"), files);
    const QByteArray json = QJsonDocument(manifest).toJson(QJsonDocument::Compact);
    return backup.left(offset) + json + le64(quint64(offset)) + le64(quint64(json.size()))
        + QCryptographicHash::hash(json, QCryptographicHash::Sha256) + QByteArray("QMBKEND\n");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A program folder with the demo template and a project made from it, with forms and an external document in each
// library.
struct World {
    ProgramFolderFixture folder;
    TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
    ScriptedPrompter prompter;
    LibraryData moban{Library::Moban};
    LibraryData ziLiao{Library::ZiLiao};
    QTemporaryDir outside;   // where packages and documents live, outside the program folder

    World()
    {
        prompter.defaultYes = true;
        const int templateId = AddSampleTemplate(folder.dm(), folder.paths());
        moban.load(folder.dm(), login.opName);
        ziLiao.load(folder.dm(), login.opName);
        const DataPacket result = WizardResultFor(folder.dm(), templateId, QStringLiteral("工程甲"), {});
        CreateProjectFromTemplate(ctx(ziLiao), QStringLiteral("工程甲"), result);
        NodeOps ops(ctx(ziLiao));
        ops.CreateNode(6, first(ziLiao, 5), QStringLiteral("K1+000 检验表"));
        ops.CreateNode(6, first(ziLiao, 5), QStringLiteral("K2+000 检验表"));
        ops.CreateNode(7, first(ziLiao, 11), QStringLiteral("通用表一"));
        const QString doc = outside.filePath(QStringLiteral("说明 书.DOC"));
        writeFile(doc, "a word document");
        ImportExternalFileFrom(ctx(ziLiao), first(ziLiao, 4), doc);
        ImportExternalFileFrom(ctx(moban), first(moban, 4), doc);
    }

    NodeOpsContext ctx(LibraryData& d) { return NodeOpsContext{d, folder.dm(), folder.paths(), login, prompter}; }
    LibraryData& lib(Library l) { return l == Library::Moban ? moban : ziLiao; }

    // The n-th node of the kind in pre-order below `from` (the whole library by default).
    static QModelIndex first(LibraryData& d, int typeId, const QModelIndex& from = {}, int nth = 0)
    {
        QList<QModelIndex> stack;
        for (int r = d.tree.rowCount(from) - 1; r >= 0; --r)
            stack << d.tree.index(r, 0, from);
        while (!stack.isEmpty()) {
            const QModelIndex i = stack.takeLast();
            if (i.data(LibraryTreeModel::TypeIdRole).toInt() == typeId && nth-- == 0)
                return i;
            for (int r = d.tree.rowCount(i) - 1; r >= 0; --r)
                stack << d.tree.index(r, 0, i);
        }
        return {};
    }

    QString fillText(int id)
    {
        RowSet rows(QStringLiteral("ID"));
        rows.load(folder.dm().GetHeadingFillRangeData(id), QStringLiteral("ID"));
        if (rows.totalCount() == 0)
            return QStringLiteral("none");
        const RowSet::RowId r = rows.allRows().first();
        QStringList parts;
        for (int n = 1; n <= 18; ++n)
            if (rows.value(r, QStringLiteral("BeFilled%1").arg(n)).toBool())
                parts << QStringLiteral("%1=%2%3").arg(n).arg(rows.value(r, QStringLiteral("Col%1").arg(n)).toString(),
                                                          rows.value(r, QStringLiteral("Row%1").arg(n)).toString());
        return parts.join(QLatin1Char(','));
    }

    // Names, kinds, order, file contents and fill positions of a subtree.
    QString subtree(LibraryData& d, const QModelIndex& n)
    {
        const NodeRecord r = d.tree.record(n);
        QString s = QStringLiteral("%1/%2").arg(r.Name).arg(r.TypeID);
        const NodeKind* k = FindNodeKind(d.library(), r.TypeID);
        if (k && (k->ownsTableFile || k->ownsExternalFile))
            s += QLatin1Char(':') + QString::fromLatin1(fileHash(NodeFile(folder.paths(), d.library(), r))) + r.Ext;
        if (k && k->ownsFillRange)
            s += QLatin1Char('[') + fillText(r.FillMode) + QLatin1Char(']');
        QStringList kids;
        for (int i = 0; i < d.tree.rowCount(n); ++i)
            kids << subtree(d, d.tree.index(i, 0, n));
        return kids.isEmpty() ? s : s + QLatin1Char('(') + kids.join(QLatin1Char(' ')) + QLatin1Char(')');
    }

    // The tree and the rows held equal a fresh load of the database.
    void checkMatchesDatabase(LibraryData& d)
    {
        QCOMPARE(d.rows.pendingCount(), 0);
        LibraryData fresh(d.library());
        fresh.load(folder.dm(), login.opName);
        QCOMPARE(subtree(d, d.tree.index(0, 0)), subtree(fresh, fresh.tree.index(0, 0)));
        QCOMPARE(d.rows.totalCount(), fresh.rows.totalCount());
        for (RowSet::RowId id : fresh.rows.allRows()) {
            const RowSet::RowId held = d.rows.find(fresh.rows.value(id, QStringLiteral("ItemID")));
            QVERIFY(held >= 0);
            QCOMPARE(d.rows.value(held, QStringLiteral("iPartIndex")).toInt(),
                     fresh.rows.value(id, QStringLiteral("iPartIndex")).toInt());
        }
    }

    QString package(const QString& name) { return outside.filePath(name); }
    QString state() { return ProgramFolderState(folder.paths().AppDir); }
};

// A package built by hand: the rows and files given, entry names as given (unsafe ones too).
struct HandPackage {
    int handle = 0;
    QStringList bs;                       // VALUES lists of bs rows
    QStringList hi;                       // VALUES lists of hi rows (ID, BeFilled1, Row1, Col1)
    QList<std::pair<QByteArray, QByteArray>> files;   // name, bytes
    bool withDatabase = true;
    QString extraSql;
    bool looseNodeTable = false;   // bs without its key: rows that a sound package never has

    void write(const QString& cabinet, const QString& scratch) const
    {
        const QString db = scratch + QStringLiteral("/S.mdb");
        QFile::remove(db);
        TDataPoolDM::CreateBlankPackageFile(db);
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hand"));
            c.setDatabaseName(db);
            QVERIFY(c.open());
            QSqlQuery q(c);
            QVERIFY(q.exec(QStringLiteral("INSERT INTO TreeHandle VALUES (%1)").arg(handle)));
            if (looseNodeTable) {
                QVERIFY(q.exec(QStringLiteral("DROP TABLE bs")));
                QVERIFY(q.exec(QStringLiteral("CREATE TABLE bs (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, "
                                              "File_Name, Ext, FillMode)")));
            }
            for (const QString& r : bs)
                QVERIFY2(q.exec(QStringLiteral("INSERT INTO bs (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, "
                                               "File_Name, Ext, FillMode) VALUES (%1)").arg(r)),
                         qPrintable(q.lastError().text()));
            for (const QString& r : hi)
                QVERIFY2(q.exec(QStringLiteral("INSERT INTO hi (ID, BeFilled1, Row1, Col1) VALUES (%1)").arg(r)),
                         qPrintable(q.lastError().text()));
            for (const QString& sql : extraSql.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            q.finish();
            c.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("hand"));
        QFile f(db);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray dbBytes = f.readAll();

        GCabCabinet* cab = gcab_cabinet_new();
        GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
        QList<std::pair<QByteArray, QByteArray>> all = files;
        if (withDatabase)
            all.prepend({"S.mdb", dbBytes});
        for (const auto& [name, bytes] : all) {
            GBytes* b = g_bytes_new(bytes.constData(), bytes.size());
            GCabFile* file = gcab_file_new_with_bytes(name.constData(), b);
            QVERIFY(gcab_folder_add_file(folder, file, FALSE, nullptr, nullptr));
            g_object_unref(file);
            g_bytes_unref(b);
        }
        QVERIFY(gcab_cabinet_add_folder(cab, folder, nullptr));
        GFile* out = g_file_new_for_path(QFile::encodeName(cabinet).constData());
        GFileOutputStream* stream = g_file_replace(out, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, nullptr);
        QVERIFY(stream);
        GError* err = nullptr;
        QVERIFY2(gcab_cabinet_write_simple(cab, G_OUTPUT_STREAM(stream), nullptr, nullptr, nullptr, &err),
                 err ? err->message : "");
        g_output_stream_close(G_OUTPUT_STREAM(stream), nullptr, nullptr);
        g_object_unref(stream);
        g_object_unref(out);
        g_object_unref(folder);
        g_object_unref(cab);
    }
};

} // namespace

Q_DECLARE_METATYPE(HandPackage)

namespace {

QString nodeRow(int part, int id, const QString& name, int type, int parent, int file = 0, const QString& ext = {},
                int fill = 0)
{
    return QStringLiteral("%1, %2, '%3', %4, %5, 7, %6, '%7', %8")
        .arg(part)
        .arg(id)
        .arg(name)
        .arg(type)
        .arg(parent)
        .arg(file)
        .arg(ext)
        .arg(fill);
}

void runCabextract(const QStringList& args, QString* out = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("cabextract"), args);
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TstExchange : public QObject {
    Q_OBJECT

private slots:
    void dialogsOfEveryKind()
    {
        const FileDialogSetup gc = SetupExportDialog(0);
        QCOMPARE(gc.title, QStringLiteral("导出工程 - 请不要在文件名中使用空格"));
        QCOMPARE(gc.filter, QStringLiteral("工程文件(*.gc)|*.gc|所有文件(*.*)|*.*"));
        QCOMPARE(gc.defaultExt, QStringLiteral(".gc"));
        QCOMPARE(SetupImportDialog(3).title, QStringLiteral("导入资料分料"));
        QCOMPARE(SetupImportDialog(3).filter, QStringLiteral("分项文件(*.fx)|*.fx|所有文件(*.*)|*.*"));
        QCOMPARE(SetupImportDialog(7).title, QStringLiteral("导入通用表格样式文件"));
        QCOMPARE(SetupExportDialog(8).title, QStringLiteral("导出常规文件"));
        QCOMPARE(failureMessage([] { SetupExportDialog(9); }), QStringLiteral("不合法的导出类型。"));
        QCOMPARE(failureMessage([] { SetupImportDialog(-1); }), QStringLiteral("不合法的导出类型。"));
        QCOMPARE(PackageKindOfFile(QStringLiteral("/a/b.YS")), 7);
        QCOMPARE(PackageKindOfNode(Library::Moban, 9), 6);
        QCOMPARE(PackageKindOfNode(Library::ZiLiao, 6), 4);
    }

    // Every kind of both libraries: exported, imported elsewhere, the copy equals the original in names, kinds,
    // order, files and fill positions, with new keys and new file numbers that leave the folder's files alone.
    void roundTrip_data()
    {
        QTest::addColumn<int>("library");
        QTest::addColumn<int>("typeId");
        QTest::addColumn<int>("targetType");   // -1: the library's root
        const int m = int(Library::Moban), z = int(Library::ZiLiao);
        QTest::newRow("template") << m << 9 << -1;
        QTest::newRow("template division") << m << 3 << 9;
        QTest::newRow("template category") << m << 4 << 3;
        QTest::newRow("template sub-item") << m << 5 << 4;
        QTest::newRow("template style") << m << 11 << 10;
        QTest::newRow("project") << z << 1 << -1;
        QTest::newRow("project division") << z << 3 << 1;
        QTest::newRow("project category") << z << 4 << 4;
        QTest::newRow("project sub-item") << z << 5 << 4;
        QTest::newRow("inspection form") << z << 6 << 5;
        QTest::newRow("general form") << z << 7 << 11;
        QTest::newRow("project style") << z << 11 << 10;
    }

    void roundTrip()
    {
        QFETCH(int, library);
        QFETCH(int, typeId);
        QFETCH(int, targetType);
        World w;
        LibraryData& d = w.lib(Library(library));
        const QModelIndex source = World::first(d, typeId);
        QVERIFY(source.isValid());
        const QString before = w.subtree(d, source);
        const NodeRecord src = d.tree.record(source);
        const int kind = PackageKindOfNode(d.library(), typeId);
        // A blank in the chosen name stays: the package is written under the name as chosen.
        const QString file = w.package(QStringLiteral("包 %1%2").arg(typeId).arg(CheckPackageKind(kind).ext));
        w.prompter.files.enqueue(file);
        QVERIFY(ExportSubtree(w.ctx(d), kind, source));
        QCOMPARE(w.prompter.messages(QStringLiteral("information")).last(), QStringLiteral("文件被导到: ") + file);
        QCOMPARE(w.prompter.lastStatus(), src.Name);
        QVERIFY(QFileInfo(file).isFile());

        // cabextract, a reader of its own, accepts the cabinet and lists the package database.
        if (!QStandardPaths::findExecutable(QStringLiteral("cabextract")).isEmpty()) {
            runCabextract({QStringLiteral("-t"), file});
            QString listing;
            runCabextract({QStringLiteral("-l"), file}, &listing);
            QVERIFY2(listing.contains(QStringLiteral("S.mdb")), qPrintable(listing));
        }

        // Into a target whose folder already holds files: nothing there is touched.
        const QModelIndex target = targetType < 0 ? d.tree.index(0, 0) : World::first(d, targetType);
        QVERIFY(target.isValid());
        const NodeRecord t = d.tree.record(target);
        QHash<QString, QByteArray> folderFiles;
        const QString folderPath = NodeFolder(w.folder.paths(), d.library(), t.iDir);
        if (targetType >= 0)
            for (const QFileInfo& f : QDir(folderPath).entryInfoList(QDir::Files))
                folderFiles.insert(f.fileName(), fileHash(f.absoluteFilePath()));
        const int firstKey = d.library() == Library::Moban ? w.folder.dm().NewMobanKey() : w.folder.dm().NewZiLiaoKey();
        w.prompter.files.enqueue(file);
        const QModelIndex copy = ImportPackage(w.ctx(d), kind, target);
        QVERIFY(copy.isValid());
        QCOMPARE(w.prompter.messages(QStringLiteral("information")).last(),
                 QStringLiteral("文件“%1”中数据被成功地导入。").arg(file));
        QCOMPARE(w.subtree(d, copy), before);
        const NodeRecord c = d.tree.record(copy);
        QCOMPARE(c.ItemID, firstKey);
        if (targetType < 0) {
            QCOMPARE(copy.parent(), d.tree.index(0, 0));
            QCOMPARE(copy.row() + 1, d.recycleNode().row());   // just before the bin, which stays last
            QCOMPARE(d.recycleNode().row(), d.tree.rowCount(d.tree.index(0, 0)) - 1);
            QVERIFY(c.iDir != src.iDir);
        } else {
            QCOMPARE(copy.parent(), target);
            QCOMPARE(copy.row(), d.tree.rowCount(target) - 1);
            QCOMPARE(c.iDir, t.iDir);
            for (auto it = folderFiles.cbegin(); it != folderFiles.cend(); ++it)
                QCOMPARE(fileHash(folderPath + it.key()), it.value());
        }
        // Every node of the copy has its own new key, file number and header-fill record.
        QSet<int> fills;
        QList<QModelIndex> stack{copy};
        while (!stack.isEmpty()) {
            const QModelIndex n = stack.takeLast();
            const NodeRecord r = d.tree.record(n);
            QVERIFY(r.ItemID >= firstKey);
            QCOMPARE(r.iDir, c.iDir);
            if (r.File_Name != 0)
                QVERIFY(!folderFiles.contains(QString::number(r.File_Name) + r.Ext));
            if (r.FillMode != 0) {
                QVERIFY(!fills.contains(r.FillMode));
                fills.insert(r.FillMode);
            }
            for (int i = 0; i < d.tree.rowCount(n); ++i)
                stack << d.tree.index(i, 0, n);
        }
        w.checkMatchesDatabase(d);
        QCOMPARE(QDir(w.folder.paths().TempDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // A template's sub-item goes into a project's data category; a template does not go into the project library,
    // nor a division below a data category.
    void acrossLibrariesAndPlaces()
    {
        World w;
        const QString sub = w.package(QStringLiteral("sub.fx"));
        ExportSubtreeTo(w.ctx(w.moban), World::first(w.moban, 5), sub);
        const QModelIndex copy = ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 4), sub);
        QCOMPARE(w.subtree(w.ziLiao, copy), w.subtree(w.moban, World::first(w.moban, 5)));

        const QString tpl = w.package(QStringLiteral("t.mb"));
        ExportSubtreeTo(w.ctx(w.moban), World::first(w.moban, 9), tpl);
        const QString state = w.state();
        QCOMPARE(failureMessage([&] { ImportPackageFrom(w.ctx(w.ziLiao), w.ziLiao.tree.index(0, 0), tpl); }),
                 QStringLiteral("节点类型不正确！"));
        QCOMPARE(w.state(), state);
        const QString division = w.package(QStringLiteral("d.fb"));
        ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 3), division);
        const QString state2 = w.state();
        const QString refusal =
            failureMessage([&] { ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 4), division); });
        QVERIFY2(refusal.contains(QStringLiteral("不能导入到")), qPrintable(refusal));
        QCOMPARE(w.state(), state2);
        w.checkMatchesDatabase(w.ziLiao);
    }

    // Forms whose table files are gone: their rows travel, the copies come without files and without header-fill
    // records; the external document keeps its extension as written.
    void missingFilesAndDocuments()
    {
        World w;
        const QModelIndex category = World::first(w.ziLiao, 4);
        const QModelIndex doc = World::first(w.ziLiao, 16, category);
        QVERIFY(doc.isValid());
        QCOMPARE(w.ziLiao.tree.record(doc).Ext, QStringLiteral(".DOC"));
        const QModelIndex sub = World::first(w.ziLiao, 5, category);
        QVERIFY(sub.isValid());
        QVERIFY(QFile::remove(NodeFile(w.folder.paths(), Library::ZiLiao, w.ziLiao.tree.record(sub))));
        const QString file = w.package(QStringLiteral("c.fl"));
        ExportSubtreeTo(w.ctx(w.ziLiao), category, file);
        const QModelIndex copy = ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 3), file);
        const QModelIndex copiedDoc = World::first(w.ziLiao, 16, copy);
        QCOMPARE(w.ziLiao.tree.record(copiedDoc).Ext, QStringLiteral(".DOC"));
        QCOMPARE(fileHash(NodeFile(w.folder.paths(), Library::ZiLiao, w.ziLiao.tree.record(copiedDoc))),
                 fileHash(NodeFile(w.folder.paths(), Library::ZiLiao, w.ziLiao.tree.record(doc))));
        const NodeRecord copiedSub = w.ziLiao.tree.record(World::first(w.ziLiao, 5, copy));
        QVERIFY(!QFileInfo::exists(NodeFile(w.folder.paths(), Library::ZiLiao, copiedSub)));
        QCOMPARE(copiedSub.FillMode, 0);
        w.checkMatchesDatabase(w.ziLiao);
    }

    // A failed export leaves no package under the chosen name; an older file of that name stays as it was.
    void failedExportLeavesNoPackage()
    {
        World w;
        const QString file = w.package(QStringLiteral("old.gc"));
        writeFile(file, "older contents");
        const auto unchanged = [&] {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("older contents"));
            QCOMPARE(QDir(w.outside.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);   // the document too
        };
        QVERIFY(QFile::remove(w.folder.paths().BlankPackageFile));
        QCOMPARE(failureMessage([&] { ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); }),
                 QStringLiteral("系统的 模板文件“S.mdb” 没有找到。"));
        unchanged();
        TDataPoolDM::CreateBlankPackageFile(w.folder.paths().BlankPackageFile);
        // A failure while the package database is written.
        FaultInjection::arm(3);
        const QString failure = failureMessage([&] { ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); });
        FaultInjection::disarm();
        QVERIFY(failure != QStringLiteral("(no failure)"));
        unchanged();
        // A folder that does not exist.
        QVERIFY(failureMessage([&] {
                    ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), w.package(QStringLiteral("no/such/x.gc")));
                }).contains(QStringLiteral("不存在")));
        // A leftover sub-folder in Temp makes it fail with its message.
        QVERIFY(QDir().mkpath(w.folder.paths().TempDir + QStringLiteral("left")));
        QCOMPARE(failureMessage([&] { ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); }),
                 QStringLiteral("删除系统临时目录文件夹中文件出错。"));
        unchanged();
        QCOMPARE(w.prompter.busyDepth, 0);
    }

    // Hand-made packages that are refused before anything is created.
    void hostilePackages_data()
    {
        QTest::addColumn<HandPackage>("package");
        QTest::addColumn<QString>("message");   // a part of the refusal
        const auto division = [](QStringList extra = {}) {
            HandPackage p;
            p.handle = 50;
            p.bs = QStringList{nodeRow(0, 100, QStringLiteral("分部"), 3, 50)} + extra;
            return p;
        };
        HandPackage p;
        p = division();
        p.files = {{"../evil.cll", "x"}};
        QTest::newRow("dot-dot") << p << QStringLiteral("不安全的条目");
        p = division();
        p.files = {{"sub/1.cll", "x"}};
        QTest::newRow("separator") << p << QStringLiteral("路径分隔符");
        p = division();
        p.files = {{"a\\1.cll", "x"}};
        QTest::newRow("backslash") << p << QStringLiteral("路径分隔符");
        p = division();
        p.files = {{"C:1.cll", "x"}};
        QTest::newRow("drive letter") << p << QStringLiteral("盘符");
        p = division();
        p.files = {{"1\n.cll", "x"}};
        QTest::newRow("control character") << p << QStringLiteral("控制字符");
        p = division();
        p.files = {{"", "x"}};
        QTest::newRow("empty name") << p << QStringLiteral("不安全的条目");
        p = division();
        p.files = {{"1.cll", "x"}, {"1.CLL", "y"}};
        QTest::newRow("duplicate entries") << p << QStringLiteral("重名的条目");
        p = division();
        p.withDatabase = false;
        p.files = {{"1.cll", "x"}};
        QTest::newRow("no package database") << p << QStringLiteral("没有包数据库");
        p = division({nodeRow(0, 101, QStringLiteral("甲"), 4, 102), nodeRow(0, 102, QStringLiteral("乙"), 4, 101)});
        QTest::newRow("cycle") << p << QStringLiteral("循环");
        p = division();
        p.bs = {nodeRow(0, 50, QStringLiteral("自己"), 3, 50)};
        QTest::newRow("node is its own handle") << p << QStringLiteral("循环");
        p = division({nodeRow(1, 101, QStringLiteral("又一个"), 3, 50)});
        QTest::newRow("two tops") << p << QStringLiteral("不止一个顶层节点");
        p = division({nodeRow(0, 101, QStringLiteral("孤儿"), 4, 999)});
        QTest::newRow("dangling parent") << p << QStringLiteral("不在包中");
        p = division({nodeRow(0, 100, QStringLiteral("重号"), 4, 100)});
        p.looseNodeTable = true;
        QTest::newRow("duplicate keys") << p << QStringLiteral("重复");
        p = division({nodeRow(0, 101, QStringLiteral("模板"), 9, 100)});
        QTest::newRow("foreign kind") << p << QStringLiteral("节点类型不正确！");
        p = division({nodeRow(0, 101, QStringLiteral("回收站"), 2, 100)});
        QTest::newRow("a second recycle bin") << p << QStringLiteral("节点类型不正确！");
        p = division({nodeRow(0, 101, QStringLiteral("分类"), 4, 100),
                      nodeRow(0, 102, QStringLiteral("分项"), 5, 101, 3, QStringLiteral(".cll"), 77)});
        p.files = {{"3.cll", "table"}};
        QTest::newRow("missing hi row") << p << QStringLiteral("在导出的数据容器中没有表头信息！");
        p = division({nodeRow(0, 101, QStringLiteral("分项"), 5, 100, 3, QStringLiteral(".cll"), 77)});
        QTest::newRow("kind in a wrong place") << p << QStringLiteral("不能位于");
        p = division({nodeRow(0, 101, QStringLiteral("文档"), 16, 100, 3, QStringLiteral("/../../x"), 0)});
        QTest::newRow("hostile extension") << p << QStringLiteral("扩展名");
        p = division();
        p.extraSql = QStringLiteral("DROP TABLE hi;CREATE VIEW hi AS WITH RECURSIVE c(ID) AS "
                                    "(SELECT 1 UNION ALL SELECT ID + 1 FROM c) SELECT ID FROM c");
        QTest::newRow("endless view") << p << QStringLiteral("不是交换包数据库");
        p = division();
        p.extraSql = QStringLiteral("INSERT INTO TreeHandle VALUES (60)");
        QTest::newRow("two handles") << p << QStringLiteral("树句柄");
        p = division();
        p.bs = {QStringLiteral("0, 'abc', '分部', 3, 50, 7, 0, '', 0")};
        p.looseNodeTable = true;
        QTest::newRow("key that is no number") << p << QStringLiteral("不是整数");
    }

    void hostilePackages()
    {
        QFETCH(HandPackage, package);
        QFETCH(QString, message);
        World w;
        QTemporaryDir scratch;
        const QString file = w.package(QStringLiteral("hostile.fb"));
        package.write(file, scratch.path());
        if (QTest::currentTestFailed())
            return;
        const QString before = w.state();
        const auto outsideFiles = [&] {
            QStringList names;
            QDirIterator it(w.outside.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                names << it.next();
            names.sort();
            return names;
        };
        const QStringList outsideBefore = outsideFiles();
        const QString failure =
            failureMessage([&] { ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); });
        QVERIFY2(failure.contains(message), qPrintable(failure));
        QCOMPARE(w.state(), before);
        QCOMPARE(outsideFiles(), outsideBefore);
        w.checkMatchesDatabase(w.ziLiao);
        QCOMPARE(w.prompter.busyDepth, 0);
    }

    // A cabinet that declares more than it can hold, and damaged cabinets.
    void bombsAndDamage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("declared size beyond the file") << QStringLiteral("bomb");
        QTest::newRow("truncated") << QStringLiteral("truncate");
        QTest::newRow("damaged data") << QStringLiteral("flip");
        QTest::newRow("not a cabinet") << QStringLiteral("text");
    }

    void bombsAndDamage()
    {
        QFETCH(QString, how);
        World w;
        const QString file = w.package(QStringLiteral("p.fb"));
        ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 3), file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        const auto u32 = [&](int at) {
            return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
                   quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
        };
        if (how == QLatin1String("bomb")) {
            const quint32 entry = u32(16);   // coffFiles: the first file entry, whose first field is its size
            bytes[entry] = char(0xf0);
            bytes[entry + 1] = char(0xff);
            bytes[entry + 2] = char(0xff);
            bytes[entry + 3] = char(0x7f);
        } else if (how == QLatin1String("truncate")) {
            bytes.truncate(bytes.size() / 2);
        } else if (how == QLatin1String("flip")) {
            // The compressed data blocks come last in a cabinet: damage there, where every byte counts (the
            // middle of a small cabinet may be file dates or attributes, whose damage harms nothing).
            for (qsizetype i = qMax<qsizetype>(0, bytes.size() - 64); i < bytes.size(); ++i)
                bytes[i] = char(bytes[i] ^ 0x5a);
        } else {
            bytes = "this is not a cabinet at all";
        }
        writeFile(file, bytes);
        const QString before = w.state();
        const QString failure =
            failureMessage([&] { ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); });
        QVERIFY2(failure.contains(QStringLiteral("交换包")), qPrintable(failure));
        QCOMPARE(w.state(), before);
    }

    // Another operation holds the temporary folder: a clear message, nothing changed; afterwards it works.
    void temporaryFolderInUse()
    {
        World w;
        const QString file = w.package(QStringLiteral("p.fb"));
        ExportSubtreeTo(w.ctx(w.ziLiao), World::first(w.ziLiao, 3), file);
        const int fd = ::open(QFile::encodeName(w.folder.paths().TempDir).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX), 0);
        const QString before = w.state();
        const QString failure =
            failureMessage([&] { ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file); });
        ::close(fd);
        QVERIFY2(failure.contains(QStringLiteral("正被另一个")), qPrintable(failure));
        QCOMPARE(w.state(), before);
        QVERIFY(ImportPackageFrom(w.ctx(w.ziLiao), World::first(w.ziLiao, 1), file).isValid());
    }

    // A filled form saved as a style: a one-node package of kind 11 with the form's file and positions; imported
    // below a data category it is a general form style from which new forms are made.
    void saveAsStyle()
    {
        World w;
        const QModelIndex form = World::first(w.ziLiao, 6);
        const NodeRecord f = w.ziLiao.tree.record(form);
        const QString file = w.package(QStringLiteral("样式 一.ys"));
        w.prompter.files.enqueue(file);
        QVERIFY(SaveAsStyle(w.ctx(w.ziLiao), form));
        QCOMPARE(w.prompter.messages(QStringLiteral("information")).last(), QStringLiteral("文件被保存到: ") + file);
        const QList<Cabinet::Entry> entries = Cabinet::List(file);
        QCOMPARE(entries.size(), 2);
        const QModelIndex category = World::first(w.ziLiao, 4);
        const QModelIndex style = ImportPackageFrom(w.ctx(w.ziLiao), category, file);
        const NodeRecord s = w.ziLiao.tree.record(style);
        QCOMPARE(s.TypeID, 11);
        QCOMPARE(s.Name, f.Name);
        QCOMPARE(fileHash(NodeFile(w.folder.paths(), Library::ZiLiao, s)),
                 fileHash(NodeFile(w.folder.paths(), Library::ZiLiao, f)));
        QCOMPARE(w.fillText(s.FillMode), w.fillText(f.FillMode));
        QVERIFY(w.fillText(s.FillMode) != QStringLiteral("none"));
        QVERIFY(s.FillMode != f.FillMode);
        // New general forms come from the style.
        QVERIFY(NodeOps(w.ctx(w.ziLiao)).CreateNode(7, style, QStringLiteral("新表")).isValid());
        // Anything but a form is refused, and nothing is written.
        const qsizetype before = w.prompter.events.size();
        QVERIFY(!SaveAsStyle(w.ctx(w.ziLiao), World::first(w.ziLiao, 3)));
        QCOMPARE(w.prompter.messages(QStringLiteral("information")).last(), QStringLiteral("请选择最终节点即最终表格！"));
        QCOMPARE(w.prompter.events.size(), before + 1);
        w.checkMatchesDatabase(w.ziLiao);
    }

    // External documents: any extension kept as written, none refused; the same file twice makes two nodes; a
    // copy goes out under the chosen name; a missing file is reported.
    void externalFiles()
    {
        World w;
        const QModelIndex category = World::first(w.moban, 4);
        const QString plain = w.package(QStringLiteral("无扩展名"));
        writeFile(plain, "x");
        const QString before = w.state();
        QCOMPARE(failureMessage([&] { ImportExternalFileFrom(w.ctx(w.moban), category, plain); }),
                 QStringLiteral("不可识别的文件！"));
        QCOMPARE(w.state(), before);
        const QString odd = w.package(QStringLiteral("图纸.Dwg"));
        writeFile(odd, "drawing");
        w.prompter.files.enqueue(odd);
        const QModelIndex a = ImportExternalFile(w.ctx(w.moban), category);
        const QModelIndex b = ImportExternalFileFrom(w.ctx(w.moban), category, odd);
        const NodeRecord ra = w.moban.tree.record(a), rb = w.moban.tree.record(b);
        QCOMPARE(ra.Name, QStringLiteral("图纸.Dwg"));
        QCOMPARE(ra.Ext, QStringLiteral(".Dwg"));
        QCOMPARE(ra.TypeID, 16);
        QCOMPARE(ra.FillMode, 0);
        QCOMPARE(rb.File_Name, ra.File_Name + 1);
        QCOMPARE(a.row() + 1, b.row());
        QCOMPARE(b.row(), w.moban.tree.rowCount(category) - 1);
        QCOMPARE(fileHash(NodeFile(w.folder.paths(), Library::Moban, ra)), fileHash(odd));

        const QString out = w.package(QStringLiteral("副本.Dwg"));
        w.prompter.files.enqueue(w.package(QStringLiteral("副本")));   // the default extension is added
        QVERIFY(ExportExternalFile(w.ctx(w.moban), a));
        QCOMPARE(w.prompter.messages(QStringLiteral("information")).last(), QStringLiteral("另存副本到“%1”").arg(out));
        QCOMPARE(fileHash(out), fileHash(odd));
        QVERIFY(QFile::remove(NodeFile(w.folder.paths(), Library::Moban, rb)));
        QCOMPARE(failureMessage([&] { ExportExternalFileTo(w.ctx(w.moban), b, out); }), QStringLiteral("节点文件不存在！"));
        QCOMPARE(fileHash(out), fileHash(odd));
        w.checkMatchesDatabase(w.moban);
    }

    // A backup holds every row and file; restored into an empty folder it is the same installation; restored over
    // an installation it replaces it only when confirmed.
    void backupAndRestore()
    {
        World w;
        QUELMAR_SQLITE_ONLY();
        // Files of every size the copy loop treats differently (empty, one read buffer, more than one), in nested
        // folders, one of them empty.
        const QString extra = w.folder.paths().AppDir + QStringLiteral("SysTables/附件/深/");
        QVERIFY(QDir().mkpath(extra + QStringLiteral("空")));
        QByteArray big(1 << 20, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + i / 4093);
        writeFile(extra + QStringLiteral("正好.bin"), big);
        writeFile(extra + QStringLiteral("更大.bin"), big + big + "end");
        writeFile(extra + QStringLiteral("零.bin"), QByteArray());
        const QString file = w.package(QStringLiteral("备份.qmb"));
        const BackupInfo info = CreateBackup(w.folder.dm(), w.folder.paths(), file, w.prompter);
        QVERIFY(info.files > 10);
        QCOMPARE(info.schemaVersion, TDataPoolDM::SchemaVersion);
        QVERIFY(!w.prompter.messages(QStringLiteral("progress")).isEmpty());
        QCOMPARE(CheckBackup(file, w.prompter).files, info.files);

        const QString target = w.outside.filePath(QStringLiteral("恢复"));
        QCOMPARE(RestoreBackup(file, target, w.prompter).files, info.files);
        QCOMPARE(ProgramFolderState(target + QLatin1Char('/')), w.state());
        QVERIFY(QFileInfo(target + QStringLiteral("/Temp")).isDir());
        CheckInstallation(target);

        // Over an installation: not without the confirmation; with it, the old data go.
        NodeOps(w.ctx(w.ziLiao)).CreateNode(3, World::first(w.ziLiao, 1), QStringLiteral("后来的分部"));
        const QString later = w.state();
        const QString file2 = w.package(QStringLiteral("后来.qmb"));
        CreateBackup(w.folder.dm(), w.folder.paths(), file2, w.prompter);
        w.prompter.defaultYes = false;
        QCOMPARE(RestoreBackup(file2, target, w.prompter).files, -1);
        QVERIFY(ProgramFolderState(target + QLatin1Char('/')) != later);
        w.prompter.defaultYes = true;
        QCOMPARE(RestoreBackup(file2, target, w.prompter).files, info.files);
        QCOMPARE(ProgramFolderState(target + QLatin1Char('/')), later);
        QCOMPARE(QDir(w.outside.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("恢复")});
        // A folder holding something else is refused.
        const QString other = w.outside.filePath(QStringLiteral("别的"));
        QVERIFY(QDir().mkpath(other));
        writeFile(other + QStringLiteral("/notes.txt"), "mine");
        QVERIFY(failureMessage([&] { RestoreBackup(file, other, w.prompter); }).contains(QStringLiteral("不是空文件夹")));
    }

    // A damaged or foreign backup is refused before anything is written.
    void damagedBackup_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("a byte of a file") << QStringLiteral("file") << QStringLiteral("校验值不对");
        QTest::newRow("truncated") << QStringLiteral("truncate") << QStringLiteral("不完整");
        QTest::newRow("manifest") << QStringLiteral("manifest") << QStringLiteral("目录的校验值不对");
        QTest::newRow("foreign file") << QStringLiteral("foreign") << QStringLiteral("不是本程序的备份文件");
        // A manifest rewritten with its checksum made to fit: sizes no file of the backup can have.
        QTest::newRow("size beyond any number") << QStringLiteral("size:1e300") << QStringLiteral("大小或校验值不对");
        QTest::newRow("negative size") << QStringLiteral("size:-5") << QStringLiteral("大小或校验值不对");
        QTest::newRow("fractional size") << QStringLiteral("size:10.5") << QStringLiteral("大小或校验值不对");
    }

    void damagedBackup()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        World w;
        QUELMAR_SQLITE_ONLY();
        const QString file = w.package(QStringLiteral("b.qmb"));
        CreateBackup(w.folder.dm(), w.folder.paths(), file, w.prompter);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        if (how == QLatin1String("file"))
            bytes[200] = char(bytes[200] ^ 1);
        else if (how == QLatin1String("truncate"))
            bytes.chop(100);
        else if (how == QLatin1String("manifest"))
            bytes[bytes.size() - 100] = char(bytes[bytes.size() - 100] ^ 1);
        else if (how.startsWith(QLatin1String("size:")))
            bytes = withFirstFileSize(bytes, how.mid(5).toDouble());
        else
            bytes = QByteArray("PK\x03\x04 some zip file").repeated(10);
        writeFile(file, bytes);
        const QString target = w.outside.filePath(QStringLiteral("恢复"));
        const QString failure = failureMessage([&] { RestoreBackup(file, target, w.prompter); });
        QVERIFY2(failure.contains(message), qPrintable(failure));
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(w.outside.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }

    // In team mode the server's database is not ours to copy: a clear refusal.
    void backupInTeamMode()
    {
        World w;
        if (!w.folder.dm().isServer())
            QSKIP("about team mode");
        const QString failure = failureMessage(
            [&] { CreateBackup(w.folder.dm(), w.folder.paths(), w.package(QStringLiteral("t.qmb")), w.prompter); });
        QVERIFY2(failure.contains(QStringLiteral("pg_dump")), qPrintable(failure));
        QVERIFY(!QFileInfo::exists(w.package(QStringLiteral("t.qmb"))));
    }
};

QTEST_GUILESS_MAIN(TstExchange)
#include "tst_exchange.moc"
