#include "store/WorkJournal.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

const QByteArray kMagic = QByteArrayLiteral("QUELMAR-JOURNAL 1");
const QString kSuffix = QStringLiteral(".journal");

QByteArray verbName(WorkJournal::Verb v)
{
    switch (v) {
    case WorkJournal::Verb::Folder: return "folder";
    case WorkJournal::Verb::Created: return "created";
    case WorkJournal::Verb::Moved: return "moved";
    case WorkJournal::Verb::Discarded: return "discarded";
    }
    return {};
}

struct Step {
    QByteArray verb;
    QString a;
    QString b;
};

QString absoluteIn(const QString& programFolder, const QString& path)
{
    return QDir::isAbsolutePath(path) ? path : QDir(programFolder).filePath(path);
}

bool lockFile(QFile& f)
{
    return ::flock(f.handle(), LOCK_EX | LOCK_NB) == 0;
}

// Whether the open file is still the one under its name: another program's recovery may have taken a journal
// that was just being started for a leftover and removed it between our open and our lock.
bool stillAtPath(const QFile& f, const QString& path)
{
    struct stat open {}, named {};
    return ::fstat(f.handle(), &open) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0
        && open.st_ino == named.st_ino && open.st_dev == named.st_dev;
}

// Undoes an operation whose rows were not committed, last step first.
bool rollBack(const QList<Step>& steps, const QString& programFolder)
{
    bool clean = true;
    for (auto it = steps.crbegin(); it != steps.crend(); ++it) {
        const QString a = absoluteIn(programFolder, it->a);
        const QString b = it->b.isEmpty() ? QString() : absoluteIn(programFolder, it->b);
        try {
            if (it->verb == "created") {
                clean &= FileLayout::RemoveNodeFile(a);
                QFile::remove(a + QStringLiteral(".part"));
            } else if (it->verb == "moved" || it->verb == "discarded") {
                clean &= FileLayout::MoveBack(a, b);
            } else if (it->verb == "folder") {
                clean &= FileLayout::RemoveEmptyFolder(a);
            }
        } catch (const QuelmarError&) {
            clean = false;
        }
    }
    return clean;
}

// Finishes an operation whose rows were committed: what it put out of the way goes.
bool rollForward(const QList<Step>& steps, const QString& programFolder)
{
    bool clean = true;
    for (const Step& s : steps) {
        if (s.verb != "discarded")
            continue;
        try {
            clean &= FileLayout::RemoveDiscarded(absoluteIn(programFolder, s.b));
        } catch (const QuelmarError&) {
            clean = false;
        }
    }
    return clean;
}

} // namespace

WorkJournal::WorkJournal(QString programFolder) : m_programFolder(std::move(programFolder)) {}

WorkJournal::~WorkJournal()
{
    if (m_file.isOpen())
        m_file.close();   // the lock goes with it; the file stays for recovery
}

QString WorkJournal::FolderOf(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("Journal"));
}

QString WorkJournal::relative(const QString& path) const
{
    // Node paths are clean paths inside the program folder: cut the folder off (QDir would clean both each time).
    const QString base = m_programFolder.endsWith(QLatin1Char('/')) ? m_programFolder : m_programFolder + QLatin1Char('/');
    if (path.startsWith(base) && !path.contains(QStringLiteral("/.")) && !path.contains(QStringLiteral("//")))
        return path.mid(base.size());
    const QString rel = QDir(m_programFolder).relativeFilePath(path);
    return rel.startsWith(QStringLiteral("..")) ? QFileInfo(path).absoluteFilePath() : rel;
}

QString WorkJournal::start()
{
    const QString folder = FolderOf(m_programFolder);
    if (!QDir().mkpath(folder))
        throw QuelmarError(QStringLiteral("无法建立操作日志文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    for (int attempt = 0;; ++attempt) {
        m_token = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString temp = QDir(folder).filePath(m_token + QStringLiteral(".part"));
        m_path = QDir(folder).filePath(m_token + kSuffix);
        m_file.setFileName(temp);
        const bool opened = m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && lockFile(m_file);
        if (opened && !stillAtPath(m_file, temp) && attempt < 3) {
            m_file.close();   // taken for a leftover by another program's recovery: start afresh
            continue;
        }
        if (!opened || m_file.write(kMagic + "\ntoken " + m_token.toLatin1() + '\n') < 0 || !m_file.flush()
            || !QFile::rename(temp, m_path)) {
            m_file.close();
            QFile::remove(temp);
            throw QuelmarError(QStringLiteral("无法写入操作日志“%1”。").arg(QDir::toNativeSeparators(m_path)));
        }
        break;
    }
    return m_token;
}

QByteArray WorkJournal::line(Verb verb, const QString& path, const QString& second) const
{
    QByteArray line = verbName(verb) + ' ' + QUrl::toPercentEncoding(relative(path));
    if (!second.isEmpty())
        line += ' ' + QUrl::toPercentEncoding(relative(second));
    line += '\n';
    return line;
}

void WorkJournal::write(const QByteArray& lines)
{
    if (m_file.write(lines) != lines.size() || !m_file.flush())
        throw QuelmarError(QStringLiteral("无法写入操作日志“%1”。").arg(QDir::toNativeSeparators(m_path)));
}

void WorkJournal::record(Verb verb, const QString& path, const QString& second)
{
    write(line(verb, path, second));
}

void WorkJournal::recordMoves(const QList<std::pair<QString, QString>>& moves)
{
    QByteArray lines;
    for (const auto& [from, to] : moves)
        lines += line(Verb::Moved, from, to);
    write(lines);
}

void WorkJournal::finish()
{
    if (!m_file.isOpen())
        return;
    QFile::remove(m_path);
    m_file.close();
}

bool WorkJournal::HasJournals(const QString& programFolder)
{
    const QDir folder(FolderOf(programFolder));
    return folder.exists() && !folder.entryList({QStringLiteral("*") + kSuffix, QStringLiteral("*.part")}, QDir::Files).isEmpty();
}

int WorkJournal::RecoverAtStart(TDataPoolDM& dm, const QString& programFolder)
{
    if (!HasJournals(programFolder) && dm.WorkMarks().isEmpty())
        return 0;
    dm.beginWrite();
    try {
        const int n = Recover(dm, programFolder);
        dm.commitWrite();
        return n;
    } catch (...) {
        dm.rollbackWrite();
        throw;
    }
}

int WorkJournal::Recover(TDataPoolDM& dm, const QString& programFolder)
{
    const QDir folder(FolderOf(programFolder));
    int handled = 0;
    const QStringList names = folder.entryList({QStringLiteral("*") + kSuffix, QStringLiteral("*.part")}, QDir::Files);
    for (const QString& name : names) {
        QFile f(folder.filePath(name));
        // ExistingOnly: a journal its operation removed since the listing must not be made again, empty.
        if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) || !lockFile(f))
            continue;   // its operation is still running (or the file cannot be read: left alone)
        if (!stillAtPath(f, f.fileName()))
            continue;   // finished and removed by its operation while we waited for it
        if (name.endsWith(QStringLiteral(".part"))) {
            // Killed while starting: nothing was done yet.
            f.close();
            QFile::remove(folder.filePath(name));
            continue;
        }
        const QList<QByteArray> lines = f.readAll().split('\n');
        if (lines.value(0) != kMagic || !lines.value(1).startsWith("token ")) {
            continue;   // not ours: left alone
        }
        const QString token = QString::fromLatin1(lines.value(1).mid(6));
        QList<Step> steps;
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const QList<QByteArray> parts = lines.at(i).split(' ');
            if (parts.size() < 2)
                continue;   // a line cut short by the kill was never acted on
            steps.append({parts.at(0), QUrl::fromPercentEncoding(parts.at(1)),
                          parts.size() > 2 ? QUrl::fromPercentEncoding(parts.at(2)) : QString()});
        }
        bool committed = false;
        try {
            committed = dm.HasWorkMark(token);
        } catch (const QuelmarError&) {
            continue;   // the database cannot tell: try again next time
        }
        const bool clean = committed ? rollForward(steps, programFolder) : rollBack(steps, programFolder);
        if (!clean)
            continue;
        if (committed) {
            try {
                dm.DeleteWorkMark(token);
            } catch (const QuelmarError&) {
                // A mark without its journal is harmless.
            }
        }
        f.close();
        QFile::remove(folder.filePath(name));
        ++handled;
    }
    // A mark whose journal is gone belongs to an operation that finished and was stopped before it cleared the
    // mark (the journal goes first: a journal without its mark would be undone).
    for (const QString& token : dm.WorkMarks())
        if (!QFileInfo::exists(folder.filePath(token + kSuffix)))
            dm.DeleteWorkMark(token);
    return handled;
}
