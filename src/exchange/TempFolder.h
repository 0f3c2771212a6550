#pragma once
#include <QString>

// The program folder's "Temp" folder is the scratch space of export, import and save as style. Two programs may work
// on one program folder at once (the desktop program and quelmar-cli), so an operation holds the folder for itself
// while it works (an advisory lock on the folder; another operation waits up to `waitMs`, then fails with a clear
// message), clears it first ("删除系统临时目录文件夹中文件出错。" when that fails) and clears it again when done.
class TempFolderUse {
public:
    explicit TempFolderUse(const QString& tempDir, int waitMs = 10000);
    ~TempFolderUse();
    TempFolderUse(const TempFolderUse&) = delete;
    TempFolderUse& operator=(const TempFolderUse&) = delete;

    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
