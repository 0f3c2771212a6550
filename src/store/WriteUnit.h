#pragma once
#include "store/RowSet.h"
#include "store/WorkJournal.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct AppPaths;
class TDataPoolDM;

// One operation's writes as a unit: all or nothing across rows, files and folders.
//
// - Rows: the unit takes the database's write lock at once (TDataPoolDM::beginWrite), so the keys, folder and file
//   numbers the operation draws are its own, and every apply inside it joins its one transaction.
// - Cached copies given to track() go back to their state at that call when the unit fails.
// - Files and folders go through the unit: what it creates is removed on failure, what it moves goes back, a file
//   in the way of a copy is set aside and comes back; what it removes is removed only after the commit (a file that
//   is already gone counts as removed). Each step is written to the work journal before it is done, so even a
//   killed operation is undone (or finished) the next time any program takes the write lock.
// - Not committed when it is destroyed (an exception left the operation): everything is undone.
//
// Inside another unit of the same data module a unit joins it: its records belong to the outer unit, which
// commits or undoes the whole; the inner commit() does nothing.
class WriteUnit {
public:
    // A unit of rows only.
    explicit WriteUnit(TDataPoolDM& dm);
    // A unit of rows and node files of the program folder `paths.AppDir`.
    WriteUnit(TDataPoolDM& dm, const AppPaths& paths);
    ~WriteUnit();
    WriteUnit(const WriteUnit&) = delete;
    WriteUnit& operator=(const WriteUnit&) = delete;

    // The cached copy returns to its present state if the unit fails (once per copy; later calls are ignored).
    void track(RowSet& rows);
    // Runs if the unit fails, after rows and files are back, in reverse order (in-memory changes such as trees).
    void onRollback(std::function<void()> undo);

    // FileLayout::CreateNodeFolder; the folder (and every parent it had to make) is removed again on failure.
    void createFolder(const QString& folder, bool refuseExisting);
    // FileLayout::CopyNodeFile; false when the copy failed (nothing then changed).
    bool copyFile(const QString& from, const QString& to);
    // A new file written by `write(path)` (true: written); removed on failure.
    bool createFile(const QString& path, const std::function<bool(const QString&)>& write);
    // FileLayout::MoveNodeFile; moved back on failure. False when the move failed (nothing then changed).
    bool moveFile(const QString& from, const QString& to);
    // Many moves, written to the journal in one go and then done in order (each moved back on failure). Returns how
    // many were moved: less than all when the next one failed (its target taken, its source missing; nothing then
    // changed for it or the ones after it). moveFile is the move of one.
    qsizetype moveFiles(const QList<std::pair<QString, QString>>& moves);
    // Removed with the commit; a file already gone is fine. (At the commit, still under the write lock, the file is
    // renamed out of the way — its number may be drawn again at once — and deleted once the rows are written.)
    void removeFileAfterCommit(const QString& path);
    // The folder with what is in it, removed with the commit the same way.
    void removeFolderAfterCommit(const QString& folder);

    // Commits the rows, then removes what was to be removed. Throws (having undone everything) when the commit
    // fails. What could not be removed after the commit is listed by leftovers() (folders end with "/"); the
    // journal keeps it and a later unit removes it.
    void commit();
    bool isCommitted() const { return m_committed; }
    const QStringList& leftovers() const { return m_leftovers; }

private:
    struct Step {
        WorkJournal::Verb verb;
        QString a;
        QString b;
    };
    WriteUnit& root() { return m_outer ? *m_outer : *this; }
    void journal(WorkJournal::Verb verb, const QString& a, const QString& b = {});
    WorkJournal& startedJournal();
    bool discard(const QString& path);
    void discardRemovals();
    void rollback() noexcept;

    TDataPoolDM& m_dm;
    WriteUnit* m_outer = nullptr;
    QString m_programFolder;
    std::unique_ptr<WorkJournal> m_journal;
    QList<Step> m_steps;
    QList<std::pair<RowSet*, RowSet>> m_snapshots;
    QList<std::function<void()>> m_undo;
    QStringList m_leftovers;
    QStringList m_removeFiles;
    QStringList m_removeFolders;
    QString m_suffix;   // names what this unit put out of the way
    bool m_committed = false;
    bool m_finished = false;
};

// At start-up: undoes or finishes what operations killed half-way left (see WorkJournal). Quietly does nothing when
// the database is busy; the next write unit does it then.
void RecoverInterruptedWork(TDataPoolDM& dm, const AppPaths& paths);
