#include "exchange/Cabinet.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libgcab.h>
#pragma pop_macro("signals")

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Owns one reference of a GObject.
template <typename T>
struct GRef {
    T* p = nullptr;
    GRef() = default;
    explicit GRef(T* ptr) : p(ptr) {}
    ~GRef()
    {
        if (p)
            g_object_unref(p);
    }
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
    T* get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct GErr {
    GError* e = nullptr;
    ~GErr()
    {
        if (e)
            g_error_free(e);
    }
    GError** out() { return &e; }
    QString text() const { return e ? QString::fromUtf8(e->message) : QString(); }
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString damaged(const QString& path, const QString& why)
{
    QString text = QStringLiteral("交换包“%1”已损坏或不是交换包文件。").arg(native(path));
    if (!why.isEmpty())
        text += QStringLiteral("（%1）").arg(why);
    return text;
}

// What a cabinet of n bytes can hold: every entry has a header of at least 16 bytes plus its name in the file, and
// MSZIP (deflate) expands a block by at most about 1:1032.
constexpr qint64 kEntryHeaderBytes = 18;
constexpr qint64 kMaxExpansion = 1100;

GRef<GCabCabinet> load(const QString& path, GRef<GFileInputStream>& stream)
{
    GRef<GFile> file(g_file_new_for_path(QFile::encodeName(path).constData()));
    GErr err;
    stream.p = g_file_read(file.get(), nullptr, err.out());
    if (!stream)
        throw QuelmarError(QStringLiteral("无法读取交换包“%1”：%2").arg(native(path), err.text()));
    GRef<GCabCabinet> cab(gcab_cabinet_new());
    if (!gcab_cabinet_load(cab.get(), G_INPUT_STREAM(stream.get()), nullptr, err.out()))
        throw QuelmarError(damaged(path, err.text()));
    GCabCabinet* loaded = cab.p;
    cab.p = nullptr;
    return GRef<GCabCabinet>(loaded);
}

template <typename F>
void forEachFile(GCabCabinet* cab, F&& f)
{
    GPtrArray* folders = gcab_cabinet_get_folders(cab);
    for (guint i = 0; folders && i < folders->len; ++i) {
        auto* folder = static_cast<GCabFolder*>(g_ptr_array_index(folders, i));
        GSList* files = gcab_folder_get_files(folder);
        for (GSList* l = files; l; l = l->next)
            f(static_cast<GCabFile*>(l->data));
        g_slist_free(files);
    }
}

} // namespace

namespace Cabinet {

QString UnsafeNameReason(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("文件名为空");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("文件名为“%1”").arg(name);
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("文件名含路径分隔符");
        if (c == QLatin1Char(':'))
            return QStringLiteral("文件名含盘符或冒号");
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control)
            return QStringLiteral("文件名含控制字符");
    }
    if (name.contains(QLatin1String("..")))
        return QStringLiteral("文件名含“..”");
    return {};
}

void Write(const QString& target, const QList<Entry>& entries)
{
    const QFileInfo info(target);
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir())
        throw QuelmarError(QStringLiteral("文件夹“%1”不存在，无法写入“%2”。").arg(native(dir), native(target)));

    GRef<GCabCabinet> cab(gcab_cabinet_new());
    GRef<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_MSZIP));
    for (const Entry& e : entries) {
        if (!UnsafeNameReason(e.name).isEmpty())
            throw QuelmarError(QStringLiteral("交换包条目名“%1”不合法。").arg(e.name));
        if (!QFileInfo(e.source).isFile())
            throw QuelmarError(QStringLiteral("文件“%1”不存在，无法放进交换包。").arg(native(e.source)));
        GRef<GFile> source(g_file_new_for_path(QFile::encodeName(e.source).constData()));
        GRef<GCabFile> file(gcab_file_new_with_file(e.name.toUtf8().constData(), source.get()));
        GErr err;
        if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, err.out()))
            throw QuelmarError(QStringLiteral("无法把“%1”放进交换包：%2").arg(native(e.source), err.text()));
    }
    {
        GErr err;
        if (!gcab_cabinet_add_folder(cab.get(), folder.get(), err.out()))
            throw QuelmarError(QStringLiteral("无法建立交换包：%1").arg(err.text()));
    }

    // A temporary file beside the target: renamed over it only when the cabinet is complete.
    QString part;
    {
        QTemporaryFile tmp(dir + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX.part"));
        tmp.setAutoRemove(false);
        if (!tmp.open())
            throw QuelmarError(QStringLiteral("无法在“%1”中写入文件：%2").arg(native(dir), tmp.errorString()));
        part = tmp.fileName();
    }
    struct RemovePart {
        QString path;
        bool keep = false;
        ~RemovePart()
        {
            if (!keep)
                QFile::remove(path);
        }
    } cleanup{part};

    GRef<GFile> out(g_file_new_for_path(QFile::encodeName(part).constData()));
    GErr err;
    GRef<GFileOutputStream> stream(
        g_file_replace(out.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, err.out()));
    if (!stream)
        throw QuelmarError(QStringLiteral("无法写入“%1”：%2").arg(native(target), err.text()));
    if (!gcab_cabinet_write_simple(cab.get(), G_OUTPUT_STREAM(stream.get()), nullptr, nullptr, nullptr, err.out())) {
        g_output_stream_close(G_OUTPUT_STREAM(stream.get()), nullptr, nullptr);
        throw QuelmarError(QStringLiteral("写入交换包“%1”失败：%2").arg(native(target), err.text()));
    }
    if (!g_output_stream_close(G_OUTPUT_STREAM(stream.get()), nullptr, err.out()))
        throw QuelmarError(QStringLiteral("写入交换包“%1”失败：%2").arg(native(target), err.text()));
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        throw QuelmarError(QStringLiteral("无法写入“%1”：文件无法改名（%2）。")
                               .arg(native(target), QString::fromLocal8Bit(std::strerror(errno))));
    cleanup.keep = true;
}

QList<Entry> List(const QString& path)
{
    GRef<GFileInputStream> stream;
    GRef<GCabCabinet> cab = load(path, stream);
    QList<Entry> entries;
    forEachFile(cab.get(), [&](GCabFile* f) {
        Entry e;
        e.name = QString::fromUtf8(gcab_file_get_name(f));
        e.size = gcab_file_get_size(f);
        entries << e;
    });
    return entries;
}

void CheckListing(const QString& path, const QList<Entry>& entries, qint64 cabinetBytes, qint64 freeBytes)
{
    if (entries.isEmpty())
        throw QuelmarError(damaged(path, QStringLiteral("其中没有文件")));
    if (qint64(entries.size()) * kEntryHeaderBytes > cabinetBytes)
        throw QuelmarError(damaged(path, QStringLiteral("声称的条目数 %1 超出文件大小所能容纳的").arg(entries.size())));
    QSet<QString> seen;
    qint64 total = 0;
    for (const Entry& e : entries) {
        const QString why = UnsafeNameReason(e.name);
        if (!why.isEmpty())
            throw QuelmarError(QStringLiteral("交换包“%1”中有不安全的条目“%2”（%3），已拒绝导入。")
                                   .arg(native(path), e.name.toHtmlEscaped().left(80), why));
        if (seen.contains(e.name.toLower()))
            throw QuelmarError(QStringLiteral("交换包“%1”中有重名的条目“%2”，已拒绝导入。").arg(native(path), e.name));
        seen.insert(e.name.toLower());
        total += e.size;
    }
    if (total > cabinetBytes * kMaxExpansion)
        throw QuelmarError(QStringLiteral("交换包“%1”声称解压后有 %2 字节，远超大小为 %3 字节的交换包所能容纳的，"
                                          "可能是恶意构造的文件，已拒绝导入。")
                               .arg(native(path))
                               .arg(total)
                               .arg(cabinetBytes));
    if (freeBytes >= 0 && total > freeBytes)
        throw QuelmarError(QStringLiteral("磁盘空间不足：解压交换包“%1”需要 %2 字节，只剩 %3 字节。")
                               .arg(native(path))
                               .arg(total)
                               .arg(freeBytes));
}

void Extract(const QString& path, const QString& folder)
{
    GRef<GFileInputStream> stream;
    GRef<GCabCabinet> cab = load(path, stream);
    bool unsafe = false;
    forEachFile(cab.get(), [&](GCabFile* f) {
        const QString name = QString::fromUtf8(gcab_file_get_name(f));
        if (!UnsafeNameReason(name).isEmpty())
            unsafe = true;
        else
            gcab_file_set_extract_name(f, name.toUtf8().constData());
    });
    if (unsafe)
        throw QuelmarError(damaged(path, QStringLiteral("有不安全的条目名")));
    GRef<GFile> dir(g_file_new_for_path(QFile::encodeName(folder).constData()));
    GErr err;
    if (!gcab_cabinet_extract_simple(cab.get(), dir.get(), nullptr, nullptr, nullptr, err.out()))
        throw QuelmarError(damaged(path, err.text()));
    // What was written must be what was declared (and checked).
    QString wrong;
    forEachFile(cab.get(), [&](GCabFile* f) {
        const QString name = QString::fromUtf8(gcab_file_get_name(f));
        const QFileInfo out(QDir(folder).filePath(name));
        if (wrong.isEmpty() && (!out.isFile() || out.size() != qint64(gcab_file_get_size(f))))
            wrong = name;
    });
    if (!wrong.isEmpty())
        throw QuelmarError(damaged(path, QStringLiteral("条目“%1”解压后的大小不对").arg(wrong)));
}

}
