#include "exchange/Backup.h"
#include "Version.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "core/Sha256.h"
#include "exchange/Cabinet.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Progress of many small steps: the first, the last and then at most every 50 ms reach the prompter (which repaints
// the status bar each time), so that reporting never costs more than the work.
class StepReporter {
public:
    explicit StepReporter(ProgressScope& scope) : m_scope(scope) { m_clock.start(); }
    template <typename F>
    bool step(F&& text, qint64 done, qint64 total)
    {
        if (done != 1 && done != total && m_clock.elapsed() < 50)
            return true;
        m_clock.restart();
        return m_scope.step(text(), done, total);
    }

private:
    ProgressScope& m_scope;
    QElapsedTimer m_clock;
};

const QByteArray kMagic("QMBACKUP");
const QByteArray kEndMagic("QMBKEND\n");
constexpr quint32 kFormatVersion = 1;
constexpr qint64 kHeaderBytes = 12;            // magic + format
constexpr qint64 kTrailerBytes = 8 + 8 + 32 + 8;
constexpr qint64 kChunk = 1 << 20;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray le64(quint64 v)
{
    QByteArray b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

quint64 readLe64(const QByteArray& b, int at)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

struct Entry {
    QString name;   // relative, "/" between folders
    qint64 size = 0;
    qint64 offset = 0;
    QByteArray sha256;   // hex
};

struct Manifest {
    BackupInfo info;
    QStringList folders;
    QList<Entry> files;
};

// A relative name whose every part is a plain file or folder name.
bool safeRelative(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return false;
    for (const QString& part : name.split(QLatin1Char('/')))
        if (!Cabinet::UnsafeNameReason(part).isEmpty())
            return false;
    return true;
}

QString damaged(const QString& file, const QString& why)
{
    return QStringLiteral("“%1”不是本程序的备份文件，或已损坏：%2").arg(native(file), why);
}

// The folders and plain files under `dir` (whose name in the backup is `rel`), parents before their contents, each
// folder's names sorted. The directory entries' own types save a stat per file; links are left out. A folder that
// cannot be read fails the backup (a backup that silently lacks a folder would be found out only on restore).
void walk(const QString& dir, const QString& rel, QStringList& folders, QList<std::pair<QString, QString>>& files)
{
    const QByteArray encoded = QFile::encodeName(dir);
    DIR* d = ::opendir(encoded.constData());
    if (!d)
        throw QuelmarError(QStringLiteral("无法读取文件夹“%1”：%2").arg(native(dir), QString::fromLocal8Bit(std::strerror(errno))));
    QStringList subfolders, plain;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(::dirfd(d), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        if (type == DT_DIR)
            subfolders << QFile::decodeName(name);
        else if (type == DT_REG)
            plain << QFile::decodeName(name);
    }
    const int failed = errno;
    ::closedir(d);
    if (failed)
        throw QuelmarError(QStringLiteral("无法读取文件夹“%1”：%2").arg(native(dir), QString::fromLocal8Bit(std::strerror(failed))));
    plain.sort();
    subfolders.sort();
    for (const QString& name : std::as_const(plain))
        files.append({rel + QLatin1Char('/') + name, dir + QLatin1Char('/') + name});
    for (const QString& name : std::as_const(subfolders)) {
        folders << rel + QLatin1Char('/') + name;
        walk(dir + QLatin1Char('/') + name, rel + QLatin1Char('/') + name, folders, files);
    }
}

// What goes into a backup besides the database: the node folders and the files of the program folder.
void collect(const AppPaths& paths, QStringList& folders, QList<std::pair<QString, QString>>& files)
{
    for (const QString& top : {QStringLiteral("ProTables"), QStringLiteral("SysTables")}) {
        folders << top;
        if (QFileInfo(paths.AppDir + top).isDir())
            walk(paths.AppDir + top, top, folders, files);
    }
    folders << QStringLiteral("Temp");
    for (const QString& name : {QStringLiteral("Book1.cll"), QStringLiteral("S.mdb"), QStringLiteral("Readme.txt")})
        if (QFileInfo(paths.AppDir + name).isFile())
            files.append({name, paths.AppDir + name});
}

Manifest readManifest(QFile& f, const QString& file)
{
    const qint64 size = f.size();
    if (size < kHeaderBytes + kTrailerBytes)
        throw QuelmarError(damaged(file, QStringLiteral("文件太短")));
    const QByteArray head = f.read(kHeaderBytes);
    if (!head.startsWith(kMagic))
        throw QuelmarError(damaged(file, QStringLiteral("文件头不对")));
    const quint32 format = quint32(readLe64(head + QByteArray(4, '\0'), 8) & 0xffffffffu);
    if (format > kFormatVersion)
        throw QuelmarError(QStringLiteral("备份“%1”由更新版本的程序写成（格式 %2），请使用新版程序恢复。").arg(native(file)).arg(format));
    f.seek(size - kTrailerBytes);
    const QByteArray tail = f.read(kTrailerBytes);
    if (tail.size() != kTrailerBytes || !tail.endsWith(kEndMagic))
        throw QuelmarError(damaged(file, QStringLiteral("文件不完整（结尾不对）")));
    const quint64 offset = readLe64(tail, 0), length = readLe64(tail, 8);
    if (offset < quint64(kHeaderBytes) || offset > quint64(size) || length > quint64(size)
        || offset + length != quint64(size - kTrailerBytes))
        throw QuelmarError(damaged(file, QStringLiteral("目录的位置不对")));
    f.seek(qint64(offset));
    const QByteArray json = f.read(qint64(length));
    if (Sha256::hash(json) != tail.mid(16, 32))
        throw QuelmarError(damaged(file, QStringLiteral("目录的校验值不对")));
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String("quelmar-backup"))
        throw QuelmarError(damaged(file, QStringLiteral("不是本程序的备份")));
    Manifest m;
    m.info.program = o.value(QStringLiteral("program")).toString();
    m.info.schemaVersion = o.value(QStringLiteral("schemaVersion")).toInt();
    m.info.created = QDateTime::fromString(o.value(QStringLiteral("created")).toString(), Qt::ISODate);
    if (m.info.schemaVersion < 1)
        throw QuelmarError(damaged(file, QStringLiteral("没有数据库版本")));
    if (m.info.schemaVersion > TDataPoolDM::SchemaVersion)
        throw QuelmarError(QStringLiteral("备份“%1”的数据库版本（%2）高于本程序支持的版本（%3），请使用新版程序恢复。")
                               .arg(native(file))
                               .arg(m.info.schemaVersion)
                               .arg(TDataPoolDM::SchemaVersion));
    QSet<QString> names;
    for (const QJsonValue& v : o.value(QStringLiteral("folders")).toArray()) {
        const QString name = v.toString();
        if (!safeRelative(name))
            throw QuelmarError(damaged(file, QStringLiteral("文件夹名“%1”不安全").arg(name.left(80))));
        m.folders << name;
    }
    qint64 next = kHeaderBytes;
    for (const QJsonValue& v : o.value(QStringLiteral("files")).toArray()) {
        const QJsonObject e = v.toObject();
        Entry entry;
        entry.name = e.value(QStringLiteral("name")).toString();
        // A size as JSON gives it: a double, turned into a whole number only when it is one within the file.
        const double size = e.value(QStringLiteral("size")).toDouble(-1);
        entry.size = size >= 0 && size <= double(offset) && size == std::floor(size) ? qint64(size) : -1;
        entry.sha256 = e.value(QStringLiteral("sha256")).toString().toLatin1();
        entry.offset = next;
        if (!safeRelative(entry.name) || names.contains(entry.name.toLower()))
            throw QuelmarError(damaged(file, QStringLiteral("文件名“%1”不安全或重复").arg(entry.name.left(80))));
        if (entry.size < 0 || entry.sha256.size() != 64 || next + entry.size > qint64(offset))
            throw QuelmarError(damaged(file, QStringLiteral("文件“%1”的大小或校验值不对").arg(entry.name)));
        names.insert(entry.name.toLower());
        next += entry.size;
        m.files << entry;
        m.info.bytes += entry.size;
    }
    if (next != qint64(offset))
        throw QuelmarError(damaged(file, QStringLiteral("文件内容与目录不符")));
    if (!names.contains(QStringLiteral("vesk.mdb")))
        throw QuelmarError(damaged(file, QStringLiteral("其中没有数据库")));
    m.info.files = int(m.files.size());
    return m;
}

// Reads one entry, handing each chunk to `sink`; fails when its hash differs from the manifest's.
template <typename Sink>
void readEntry(QFile& f, const QString& file, const Entry& e, Sink&& sink)
{
    f.seek(e.offset);
    Sha256 hash;
    qint64 left = e.size;
    while (left > 0) {
        const QByteArray chunk = f.read(std::min(left, kChunk));
        if (chunk.isEmpty())
            throw QuelmarError(damaged(file, QStringLiteral("文件“%1”不完整").arg(e.name)));
        hash.addData(chunk);
        sink(chunk);
        left -= chunk.size();
    }
    if (hash.result().toHex() != e.sha256)
        throw QuelmarError(damaged(file, QStringLiteral("文件“%1”的校验值不对").arg(e.name)));
}

bool isInstallation(const QString& dir)
{
    return QFileInfo(dir + QStringLiteral("/vesk.mdb")).isFile() || QFileInfo(dir + QStringLiteral("/server.ini")).isFile();
}

} // namespace

BackupInfo CreateBackup(TDataPoolDM& dm, const AppPaths& paths, const QString& file, Prompter& prompter)
{
    if (dm.isServer())
        throw QuelmarError(QStringLiteral("团队模式下数据库在服务器（%1）上，本程序的备份不包括它：请用服务器自己的工具"
                                          "（如 pg_dump）备份数据库，并另行备份共享的 ProTables 和 SysTables 文件夹。"
                                          "本程序的“备份数据”只用于单机的安装。")
                               .arg(dm.location().displayName()));
    BusyCursor busy(prompter);
    ProgressScope progress(prompter);
    prompter.status(QStringLiteral("正在准备备份..."));
    // The write lock for the whole backup: rows and files belong to one moment (other programs' writes wait).
    WriteUnit lock(dm, paths);
    QTemporaryDir scratch(QFileInfo(file).absolutePath() + QStringLiteral("/.quelmar-backup-XXXXXX"));
    if (!scratch.isValid())
        throw QuelmarError(QStringLiteral("无法在“%1”中写入文件。").arg(native(QFileInfo(file).absolutePath())));
    const QString snapshot = scratch.filePath(QStringLiteral("vesk.mdb"));
    prompter.status(QStringLiteral("正在备份数据库..."));
    dm.BackupDatabaseTo(snapshot);

    QStringList folders;
    QList<std::pair<QString, QString>> files{{QStringLiteral("vesk.mdb"), snapshot}};
    collect(paths, folders, files);

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw QuelmarError(QStringLiteral("无法写入“%1”：%2").arg(native(file), out.errorString()));
    const auto write = [&](QByteArrayView bytes) {
        if (out.write(bytes.data(), bytes.size()) != bytes.size())
            throw QuelmarError(QStringLiteral("写入“%1”失败：%2").arg(native(file), out.errorString()));
    };
    write(kMagic + QByteArray("\x01\0\0\0", 4));
    BackupInfo info;
    info.program = QStringLiteral(QUELMAR_VERSION);
    info.schemaVersion = dm.schemaVersion();
    info.created = QDateTime::currentDateTimeUtc();
    QJsonArray entries;
    qint64 done = 0;
    StepReporter steps(progress);
    // One buffer for every file (most node files are small: opening and hashing them is the work, not the bytes).
    QByteArray buffer(int(kChunk), Qt::Uninitialized);
    Sha256 hash;
    for (const auto& [name, path] : files) {
        if (!steps.step([&] { return QStringLiteral("正在备份: ") + name; }, ++done, files.size()))
            throw QuelmarError(QStringLiteral("备份已取消，没有写入备份文件。"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw QuelmarError(QStringLiteral("无法读取“%1”：%2").arg(native(path), QString::fromLocal8Bit(std::strerror(errno))));
        struct CloseFd {
            int fd;
            ~CloseFd() { ::close(fd); }
        } closeFd{fd};
        qint64 size = 0;
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw QuelmarError(QStringLiteral("无法读取“%1”：%2").arg(native(path), QString::fromLocal8Bit(std::strerror(errno))));
            if (got == 0)
                break;
            hash.addData(buffer.constData(), got);
            write(QByteArrayView(buffer.constData(), got));
            size += got;
            // A regular file read short has reached its end: that saves a second read per (small) node file.
            if (got < buffer.size())
                break;
        }
        entries.append(QJsonObject{{QStringLiteral("name"), name},
                                   {QStringLiteral("size"), double(size)},
                                   {QStringLiteral("sha256"), QString::fromLatin1(hash.result().toHex())}});
        info.bytes += size;
    }
    info.files = int(files.size());
    const QByteArray json = QJsonDocument(QJsonObject{
                                              {QStringLiteral("format"), QStringLiteral("quelmar-backup")},
                                              {QStringLiteral("formatVersion"), int(kFormatVersion)},
                                              {QStringLiteral("program"), info.program},
                                              {QStringLiteral("schemaVersion"), info.schemaVersion},
                                              {QStringLiteral("created"), info.created.toString(Qt::ISODate)},
                                              {QStringLiteral("folders"), QJsonArray::fromStringList(folders)},
                                              {QStringLiteral("files"), entries},
                                          })
                                .toJson(QJsonDocument::Compact);
    const qint64 manifestAt = out.pos();
    write(json);
    write(le64(quint64(manifestAt)) + le64(quint64(json.size()))
          + Sha256::hash(json) + kEndMagic);
    prompter.status(QStringLiteral("正在完成备份..."));
    if (!out.commit())
        throw QuelmarError(QStringLiteral("写入“%1”失败：%2").arg(native(file), out.errorString()));
    prompter.status(QStringLiteral("备份完成。"));
    return info;
}

BackupInfo CheckBackup(const QString& file, Prompter& prompter)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw QuelmarError(QStringLiteral("无法读取“%1”：%2").arg(native(file), f.errorString()));
    BusyCursor busy(prompter);
    ProgressScope progress(prompter);
    const Manifest m = readManifest(f, file);
    qint64 done = 0;
    StepReporter steps(progress);
    for (const Entry& e : m.files) {
        if (!steps.step([&] { return QStringLiteral("正在检查: ") + e.name; }, ++done, m.files.size()))
            throw QuelmarError(QStringLiteral("检查已取消。"));
        readEntry(f, file, e, [](const QByteArray&) {});
    }
    return m.info;
}

BackupInfo RestoreBackup(const QString& file, const QString& dirText, Prompter& prompter)
{
    const QString dir = QDir::cleanPath(QFileInfo(dirText).absoluteFilePath());
    const QFileInfo target(dir);
    bool replace = false;
    if (target.exists()) {
        if (!target.isDir())
            throw QuelmarError(QStringLiteral("“%1”不是文件夹。").arg(native(dir)));
        const bool empty = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty();
        if (!empty) {
            if (!isInstallation(dir))
                throw QuelmarError(QStringLiteral("“%1”既不是空文件夹，也不是本程序的安装文件夹，不能恢复到这里。").arg(native(dir)));
            replace = true;
        }
    }
    // Everything is checked before anything is written.
    const BackupInfo info = CheckBackup(file, prompter);
    if (replace && !prompter.confirm(QStringLiteral("恢复数据"),
                                     QStringLiteral("“%1”中已有一套数据。用 %2 的备份替换它吗？\n原有的数据在恢复完成后删除。")
                                         .arg(native(dir), info.created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))))
        return BackupInfo{QString(), 0, {}, -1, 0};

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw QuelmarError(QStringLiteral("无法读取“%1”：%2").arg(native(file), f.errorString()));
    const Manifest m = readManifest(f, file);
    const QString parent = QFileInfo(dir).absolutePath();
    if (!QDir().mkpath(parent))
        throw QuelmarError(QStringLiteral("无法建立文件夹“%1”。").arg(native(parent)));
    const QString tag = QUuid::createUuid().toString(QUuid::Id128).left(8);
    const QString staging = dir + QStringLiteral(".restore-") + tag;
    const QString aside = dir + QStringLiteral(".old-") + tag;
    struct Cleanup {
        QString path;
        ~Cleanup()
        {
            if (!path.isEmpty())
                QDir(path).removeRecursively();
        }
    } cleanup{staging};

    BusyCursor busy(prompter);
    ProgressScope progress(prompter);
    if (!QDir().mkpath(staging))
        throw QuelmarError(QStringLiteral("无法建立文件夹“%1”。").arg(native(staging)));
    for (const QString& folder : m.folders)
        if (!QDir().mkpath(staging + QLatin1Char('/') + folder))
            throw QuelmarError(QStringLiteral("无法建立文件夹“%1”。").arg(native(staging + QLatin1Char('/') + folder)));
    qint64 done = 0;
    StepReporter steps(progress);
    for (const Entry& e : m.files) {
        if (!steps.step([&] { return QStringLiteral("正在恢复: ") + e.name; }, ++done, m.files.size()))
            throw QuelmarError(QStringLiteral("恢复已取消，没有改动任何数据。"));
        const QString path = staging + QLatin1Char('/') + e.name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            throw QuelmarError(QStringLiteral("无法写入“%1”：%2").arg(native(path), out.errorString()));
        readEntry(f, file, e, [&](const QByteArray& chunk) {
            if (out.write(chunk) != chunk.size())
                throw QuelmarError(QStringLiteral("写入“%1”失败：%2").arg(native(path), out.errorString()));
        });
        if (!out.flush())
            throw QuelmarError(QStringLiteral("写入“%1”失败：%2").arg(native(path), out.errorString()));
    }
    // The restored database must open as one of this program (an older one is brought up to date here).
    {
        TDataPoolDM restored(staging + QStringLiteral("/vesk.mdb"));
    }
    prompter.status(QStringLiteral("正在替换..."));
    if (replace) {
        if (!QDir().rename(dir, aside))
            throw QuelmarError(QStringLiteral("无法把原有的“%1”移开（是否有程序正在使用它？），没有改动任何数据。").arg(native(dir)));
        if (!QDir().rename(staging, dir)) {
            QDir().rename(aside, dir);
            throw QuelmarError(QStringLiteral("无法把恢复的数据移到“%1”，原有的数据未变。").arg(native(dir)));
        }
        cleanup.path.clear();
        if (!QDir(aside).removeRecursively())
            prompter.warn(QStringLiteral("恢复数据"),
                          QStringLiteral("恢复已完成，但原有的数据“%1”未能全部删除，请手工删除。").arg(native(aside)));
    } else {
        if (target.exists())
            QDir().rmdir(dir);
        if (!QDir().rename(staging, dir))
            throw QuelmarError(QStringLiteral("无法把恢复的数据移到“%1”。").arg(native(dir)));
        cleanup.path.clear();
    }
    prompter.status(QStringLiteral("恢复完成。"));
    return info;
}
