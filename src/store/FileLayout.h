#pragma once
#include <QString>

// Node files on disk: a node's row names its file by folder number, file number and extension, never by a path.
namespace FileLayout {

// The folder with a trailing separator ensured + the decimal file number + the extension (".cll").
QString NodeFilePath(const QString& folder, int fileName, const QString& ext);

// Creates a new node folder with all missing parents. With `refuseExisting` an existing folder fails with
// "“%s”目录已经存在！"; a failed creation is "“%s”目录创建失败！".
void CreateNodeFolder(const QString& folder, bool refuseExisting);

// Deletes a node's file. A read-only file is made writable first ("设置文件“%s”属性出错！" when that fails).
// Returns whether the file is gone (a missing file counts as gone).
bool RemoveNodeFile(const QString& path);

// Removes a node folder when its last row was purged: false when the folder does not exist or an entry cannot be
// deleted (a subfolder, for instance), in which case the folder stays. Read-only files are made writable first.
bool RemoveNodeFolder(const QString& folder);

}
