#include "exchange/TempFolder.h"
#include "core/QuelmarError.h"
#include "exchange/Package.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TempFolderUse::TempFolderUse(const QString& tempDir, int waitMs) : m_path(tempDir)
{
    m_fd = ::open(QFile::encodeName(tempDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        throw QuelmarError(QStringLiteral("删除系统临时目录文件夹中文件出错。"));
    const QDeadlineTimer deadline(waitMs);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (deadline.hasExpired()) {
            ::close(m_fd);
            m_fd = -1;
            throw QuelmarError(QStringLiteral("系统临时文件夹“%1”正被另一个导出、导入或另存为样式的操作使用，"
                                              "请稍后再试。")
                                   .arg(QDir::toNativeSeparators(tempDir)));
        }
        QThread::msleep(50);
    }
    if (!EmptyFolder(tempDir)) {
        ::close(m_fd);
        m_fd = -1;
        throw QuelmarError(QStringLiteral("删除系统临时目录文件夹中文件出错。"));
    }
}

TempFolderUse::~TempFolderUse()
{
    if (m_fd < 0)
        return;
    try {
        EmptyFolder(m_path);
    } catch (const QuelmarError&) {
        // What is left is cleared by the next operation, which reports it if it cannot.
    }
    ::close(m_fd);
}
