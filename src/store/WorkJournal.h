#pragma once
#include <QFile>
#include <QString>
#include <QStringList>

class TDataPoolDM;

// The work journal: what an operation is doing to files, written down before it does it, so that an operation
// killed half-way (a crash, a power cut, SIGKILL) leaves nothing behind. One file per running operation in the
// program folder's "Journal/" folder, locked while its operation runs. A commit mark in the database (a row of
// WorkJournal written inside the operation's transaction) tells at recovery whether the operation's rows were
// committed: if so, what it meant to delete after the commit is deleted; if not, what it created is removed and
// what it moved goes back. Only what the journal names is touched — never a folder the program did not create.
class WorkJournal {
public:
    enum class Verb {
        Folder,      // made a folder that was not there
        Created,     // made a file (a copy, a new file)
        Moved,       // moved a file: from, to
        Discarded,   // moved a file or folder out of the way, to be deleted after the commit: from, to
    };

    // `programFolder`: the folder that holds "Journal/"; paths inside it are written relative to it.
    explicit WorkJournal(QString programFolder);
    ~WorkJournal();
    WorkJournal(const WorkJournal&) = delete;
    WorkJournal& operator=(const WorkJournal&) = delete;

    // Creates and locks the journal file (under a temporary name, renamed once locked, so that recovery never
    // takes a journal that is being started). Returns the token to mark in the database.
    QString start();
    bool isStarted() const { return m_file.isOpen(); }
    const QString& token() const { return m_token; }
    // Appends one step; written through to the file before the step is done.
    void record(Verb verb, const QString& path, const QString& second = {});
    // Many moves (from, to) as one write.
    void recordMoves(const QList<std::pair<QString, QString>>& moves);
    // The operation is over (committed and cleaned up, or rolled back): the journal goes.
    void finish();

    // Recovery: every journal whose operation no longer runs (its lock is free) is rolled forward or back.
    // Returns the number of journals handled; one whose files cannot all be handled stays for the next time.
    // Must run under the database's write lock: then no other program can be drawing the numbers of the files a
    // killed operation left, so what the journal names is still that operation's. WriteUnit runs it when it
    // takes the lock; RecoverAtStart takes the lock for it when there is anything to recover.
    static int Recover(TDataPoolDM& dm, const QString& programFolder);
    static int RecoverAtStart(TDataPoolDM& dm, const QString& programFolder);
    static bool HasJournals(const QString& programFolder);

    static QString FolderOf(const QString& programFolder);

private:
    QString relative(const QString& path) const;
    QByteArray line(Verb verb, const QString& path, const QString& second) const;
    void write(const QByteArray& lines);

    QString m_programFolder;
    QString m_token;
    QString m_path;
    QFile m_file;
};
