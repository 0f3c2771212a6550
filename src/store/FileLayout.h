#pragma once
#include <QString>

// Node files on disk: a node's row names its file by folder number, file number and extension, never by a path.
// Every copy, move and removal of a node's file or folder goes through here (operations that must be undone on a
// failure go through store/WriteUnit, which calls these).
namespace FileLayout {

// The folder with a trailing separator ensured + the decimal file number + the extension (".cll").
QString NodeFilePath(const QString& folder, int fileName, const QString& ext);

// Whether a node's file is there (a regular file; a folder of that name is not).
bool NodeFileExists(const QString& path);

// Creates a new node folder with all missing parents. With `refuseExisting` an existing folder fails with
// "“%s”目录已经存在！"; a failed creation is "“%s”目录创建失败！".
void CreateNodeFolder(const QString& folder, bool refuseExisting);

// Copies a node file over whatever has the target's name: written beside the target and renamed, so a failed copy
// never leaves half a file under the node's name; the copy is writable whatever the source was. False on failure.
bool CopyNodeFile(const QString& from, const QString& to);

// Moves a node file to a name that is free (a rename; across file systems a copy, then the source removed).
// False on failure; the source then stays where it was.
bool MoveNodeFile(const QString& from, const QString& to);

// Deletes a node's file. A read-only file is made writable first ("设置文件“%s”属性出错！" when that fails).
// Returns whether the file is gone (a missing file counts as gone).
bool RemoveNodeFile(const QString& path);

// Removes a node folder when its last row was purged: false when the folder does not exist or an entry cannot be
// deleted (a subfolder, for instance), in which case the folder stays. Read-only files are made writable first.
bool RemoveNodeFolder(const QString& folder);

// Removes a folder only when it is empty; true when it is gone (a missing folder counts as gone).
bool RemoveEmptyFolder(const QString& folder);

// Puts a file or folder out of the way under a name of its own (renamed in place). False when it could not.
bool Discard(const QString& path, const QString& discarded);
// Brings back what Discard or MoveNodeFile moved from `original` to `moved` (a file or a folder), when it is still
// there and nothing took its name meanwhile; true when it is back or there is nothing to bring back.
bool MoveBack(const QString& original, const QString& moved);
// Deletes a discarded file, or a discarded folder with the files in it; true when it is gone.
bool RemoveDiscarded(const QString& path);

}
