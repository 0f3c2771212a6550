#pragma once
#include <QList>
#include <QString>

// Microsoft cabinet files, written and read in process (libgcab, MSZIP). Exchange packages are cabinets whose
// entries carry bare file names; nothing read from a cabinet is trusted: names, counts and sizes are checked before
// a byte is extracted, and extraction only ever writes the checked names into the one folder it is given.
namespace Cabinet {

struct Entry {
    QString name;     // the name stored in the cabinet, without folders
    QString source;   // writing: the file whose bytes go in
    qint64 size = 0;  // reading: the size the cabinet declares
};

// Writes a new cabinet at `target` holding `entries` (one MSZIP folder). The cabinet is written beside the target
// under a temporary name and renamed when complete, so a failure never leaves a partial file under the target's
// name (an existing file there stays as it was). Fails with a message naming the file that could not be read or
// written.
void Write(const QString& target, const QList<Entry>& entries);

// The entries of a cabinet (names and declared sizes). A file that is no cabinet or is damaged fails with
// "交换包“%1”已损坏或不是交换包文件。" and the library's reason.
QList<Entry> List(const QString& path);

// Why an entry name may not be written into a folder: empty, ".", "..", a path separator, a drive letter or
// another colon, a control character. Empty when the name is safe.
QString UnsafeNameReason(const QString& name);

// Checks a listing against what a cabinet of `cabinetBytes` can honestly hold (every entry needs its header in the
// file; MSZIP expands by at most about 1:1000) and against `freeBytes` of free space (negative: not checked), and
// refuses unsafe and duplicate names. Throws with a clear message naming the package `path`.
void CheckListing(const QString& path, const QList<Entry>& entries, qint64 cabinetBytes, qint64 freeBytes);

// Extracts every entry of the (checked) cabinet into `folder` under its own name; the entry names are checked
// again here, so nothing can be written outside `folder`. Fails with a message when the data are damaged.
void Extract(const QString& path, const QString& folder);

}
