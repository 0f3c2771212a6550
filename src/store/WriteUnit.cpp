#include "store/WriteUnit.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FaultPoint.h"
#include "store/FileLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>

WriteUnit::WriteUnit(TDataPoolDM& dm) : m_dm(dm), m_suffix(QUuid::createUuid().toString(QUuid::Id128).left(12))
{
    if (m_dm.m_unit) {
        m_outer = m_dm.m_unit;
        return;
    }
    m_dm.beginWrite();
    m_dm.m_unit = this;
}

WriteUnit::WriteUnit(TDataPoolDM& dm, const AppPaths& paths) : WriteUnit(dm)
{
    if (m_outer) {
        if (m_outer->m_programFolder.isEmpty())
            m_outer->m_programFolder = paths.AppDir;
        return;
    }
    m_programFolder = paths.AppDir;
    // What a killed operation left is cleared now that nobody else can draw its numbers.
    try {
        WorkJournal::Recover(m_dm, m_programFolder);
    } catch (...) {
        m_dm.m_unit = nullptr;
        m_dm.rollbackWrite();
        throw;
    }
}

WriteUnit::~WriteUnit()
{
    if (m_outer || m_finished)
        return;
    rollback();
}

void WriteUnit::track(RowSet& rows)
{
    WriteUnit& r = root();
    for (const auto& s : std::as_const(r.m_snapshots))
        if (s.first == &rows)
            return;
    r.m_snapshots.append({&rows, rows});
}

void WriteUnit::onRollback(std::function<void()> undo)
{
    root().m_undo.append(std::move(undo));
}

WorkJournal& WriteUnit::startedJournal()
{
    WriteUnit& r = root();
    if (r.m_programFolder.isEmpty())
        throw QuelmarError(QStringLiteral("此操作不能处理文件。"));
    if (!r.m_journal) {
        auto j = std::make_unique<WorkJournal>(r.m_programFolder);
        m_dm.InsertWorkMark(j->start());
        r.m_journal = std::move(j);
    }
    return *r.m_journal;
}

void WriteUnit::journal(WorkJournal::Verb verb, const QString& a, const QString& b)
{
    WorkJournal& j = startedJournal();
    FaultPoint("journal");
    j.record(verb, a, b);
    root().m_steps.append({verb, a, b});
}

void WriteUnit::createFolder(const QString& folder, bool refuseExisting)
{
    const QFileInfo info(folder);
    if (info.exists()) {
        FileLayout::CreateNodeFolder(folder, refuseExisting);   // refuses, or accepts the folder as it is
        return;
    }
    // Every level that is made is recorded, outermost first, so that undoing removes the innermost first.
    QStringList missing;
    for (QString level = QDir::cleanPath(info.absoluteFilePath()); !QFileInfo::exists(level);) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).absolutePath();
        if (parent == level)
            break;
        level = parent;
    }
    for (const QString& level : std::as_const(missing))
        journal(WorkJournal::Verb::Folder, level);
    FaultPoint("folder");
    FileLayout::CreateNodeFolder(folder, refuseExisting);
}

bool WriteUnit::copyFile(const QString& from, const QString& to)
{
    return createFile(to, [&](const QString& path) { return FileLayout::CopyNodeFile(from, path); });
}

bool WriteUnit::createFile(const QString& path, const std::function<bool(const QString&)>& write)
{
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink()) {
        // Something already has the name (a file left behind by an earlier failure, say): out of the way, back if
        // this unit fails, gone once it is committed.
        if (!discard(path))
            return false;
    }
    journal(WorkJournal::Verb::Created, path);
    FaultPoint("file");
    return write(path);
}

bool WriteUnit::moveFile(const QString& from, const QString& to)
{
    return moveFiles({{from, to}}) == 1;
}

qsizetype WriteUnit::moveFiles(const QList<std::pair<QString, QString>>& moves)
{
    // Only moves whose target is free go into the journal: recovery undoes a move the journal names by moving its
    // target back, and a target that was there before would be someone else's file. (Under the write lock nobody
    // else makes node files meanwhile.) A move the journal names but that was never done has no target and is
    // left alone.
    qsizetype doable = 0;
    while (doable < moves.size() && !QFileInfo::exists(moves.at(doable).second)
           && !QFileInfo(moves.at(doable).second).isSymLink())
        ++doable;
    if (doable == 0)
        return 0;
    const QList<std::pair<QString, QString>> journalled = moves.first(doable);
    WorkJournal& j = startedJournal();
    FaultPoint("journal");
    j.recordMoves(journalled);
    WriteUnit& r = root();
    r.m_steps.reserve(r.m_steps.size() + doable);
    for (qsizetype i = 0; i < doable; ++i) {
        FaultPoint("move");
        if (!FileLayout::MoveNodeFile(journalled.at(i).first, journalled.at(i).second))
            return i;
        r.m_steps.append({WorkJournal::Verb::Moved, journalled.at(i).first, journalled.at(i).second});
    }
    return doable;
}

bool WriteUnit::discard(const QString& path)
{
    WriteUnit& r = root();
    QString base = path;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString discarded = QStringLiteral("%1.discarded-%2").arg(base, r.m_suffix);
    journal(WorkJournal::Verb::Discarded, base, discarded);
    FaultPoint("discard");
    if (FileLayout::Discard(base, discarded))
        return true;
    r.m_steps.removeLast();
    return false;
}

void WriteUnit::removeFileAfterCommit(const QString& path)
{
    root().m_removeFiles << path;
}

void WriteUnit::removeFolderAfterCommit(const QString& folder)
{
    root().m_removeFolders << folder;
}

// What is to go is put out of the way under the write lock, before the commit: the numbers it frees may be drawn
// by another program as soon as the lock is let go, and its new file must not be the one deleted then.
void WriteUnit::discardRemovals()
{
    QStringList folders;
    for (const QString& f : std::as_const(m_removeFolders)) {
        QString base = QDir::cleanPath(f);
        if (!QFileInfo(base).isDir())
            continue;
        if (!discard(base))
            m_leftovers << base + QLatin1Char('/');
        else
            folders << base + QLatin1Char('/');
    }
    for (const QString& file : std::as_const(m_removeFiles)) {
        const QString clean = QDir::cleanPath(file);
        if (std::any_of(folders.cbegin(), folders.cend(), [&](const QString& f) { return clean.startsWith(f); }))
            continue;   // gone with its folder
        const QFileInfo info(clean);
        if (!info.exists() && !info.isSymLink())
            continue;   // already gone: counts as removed
        if (!discard(clean))
            throw QuelmarError(QStringLiteral("无法删除“%1”文件？").arg(QDir::toNativeSeparators(clean)));
    }
}

void WriteUnit::commit()
{
    if (m_outer)
        return;
    if (m_finished)
        throw QuelmarError(QStringLiteral("操作已经结束。"));
    try {
        discardRemovals();
        m_dm.commitWrite();
    } catch (...) {
        rollback();
        throw;
    }
    m_dm.m_unit = nullptr;
    m_committed = true;
    m_finished = true;
    // Rows are written: what was put out of the way goes now. A failure here loses nothing; the journal keeps it
    // for a later unit.
    bool clean = true;
    for (const Step& s : std::as_const(m_steps)) {
        if (s.verb != WorkJournal::Verb::Discarded)
            continue;
        bool gone = false;
        try {
            gone = FileLayout::RemoveDiscarded(s.b);
        } catch (const QuelmarError&) {
        }
        if (!gone) {
            m_leftovers << (QFileInfo(s.b).isDir() ? s.a + QLatin1Char('/') : s.a);
            clean = false;
        }
    }
    if (m_journal && clean) {
        m_journal->finish();
        try {
            m_dm.DeleteWorkMark(m_journal->token());
        } catch (const QuelmarError&) {
            // A mark without its journal is harmless.
        }
    }
    m_journal.reset();
}

void WriteUnit::rollback() noexcept
{
    m_finished = true;
    m_dm.m_unit = nullptr;
    m_dm.rollbackWrite();
    bool clean = true;
    for (auto it = m_steps.crbegin(); it != m_steps.crend(); ++it) {
        try {
            switch (it->verb) {
            case WorkJournal::Verb::Created:
                clean &= FileLayout::RemoveNodeFile(it->a);
                QFile::remove(it->a + QStringLiteral(".part"));
                break;
            case WorkJournal::Verb::Moved:
            case WorkJournal::Verb::Discarded:
                clean &= FileLayout::MoveBack(it->a, it->b);
                break;
            case WorkJournal::Verb::Folder:
                clean &= FileLayout::RemoveEmptyFolder(it->a);
                break;
            }
        } catch (...) {
            clean = false;
        }
    }
    // A journal whose undo did not finish stays: the next unit finishes it.
    if (m_journal && clean)
        m_journal->finish();
    m_journal.reset();
    for (auto& s : m_snapshots)
        *s.first = s.second;
    for (auto it = m_undo.crbegin(); it != m_undo.crend(); ++it) {
        try {
            (*it)();
        } catch (...) {
        }
    }
}

void RecoverInterruptedWork(TDataPoolDM& dm, const AppPaths& paths)
{
    try {
        WorkJournal::RecoverAtStart(dm, paths.AppDir);
    } catch (const QuelmarError&) {
    }
}
