#include "store/UserFolder.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kFolderKey = QStringLiteral("ProgramFolder");

} // namespace

QString UserSettingsFile()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config) + QStringLiteral("/quelmar/quelmar.conf");
}

QString DefaultUserProgramFolder()
{
    return QDir::homePath() + QStringLiteral("/Quelmar");
}

QString UserProgramFolder()
{
    const QString file = UserSettingsFile();
    if (QFileInfo(file).isFile()) {
        const QString remembered = QSettings(file, QSettings::IniFormat).value(kFolderKey).toString();
        if (!remembered.isEmpty() && QDir::isAbsolutePath(remembered))
            return QDir::cleanPath(remembered);
    }
    return DefaultUserProgramFolder();
}

void RememberUserProgramFolder(const QString& dir)
{
    const QString file = UserSettingsFile();
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(kFolderKey, QDir::cleanPath(QDir(dir).absolutePath()));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw QuelmarError(QStringLiteral("无法写入文件“%1”。").arg(QDir::toNativeSeparators(file)));
}
