#pragma once
#include "trees/NodeRecord.h"

#include <QList>
#include <QString>

// Icon indexes into the one shared list of 47 small images (the GUI maps them to pixmaps).
namespace NodeIcon {
constexpr int None = -1;
constexpr int Template = 0;
constexpr int Folder = 1;            // common part, division, archive category
constexpr int DataCategory = 2;
constexpr int SubItem = 3;           // sub-item, general form style
constexpr int LibraryRoot = 12;
constexpr int Project = 13;
constexpr int Form = 14;             // inspection form, general form, archived form
constexpr int Cabinet = 31;
constexpr int RecycleBinEmpty = 32;
constexpr int RecycleBinFull = 33;
constexpr int Wps = 41;
constexpr int Txt = 42;
constexpr int Mht = 43;
constexpr int OtherFile = 44;
constexpr int Xls = 45;
constexpr int Doc = 46;
constexpr int Count = 47;
}

// One node kind of a library: what it is called, its icon, what it owns and which kinds the New and Import menus
// offer below it.
struct NodeKind {
    int typeId = 0;
    QString name;            // empty for kinds the user never names (library root, archived form)
    int icon = NodeIcon::None;   // NodeIcon::None: by extension (external file) or by content (recycle bin)
    bool ownsFolder = false;
    bool ownsTableFile = false;
    bool ownsFillRange = false;
    bool ownsExternalFile = false;
    QList<int> mayContain;
};

namespace NodeKinds {
constexpr int Root = 0;
constexpr int RecycleBin = 2;         // template and project libraries
constexpr int ExternalFile = 16;
constexpr int RecycleBinItemID = 1;
}

// Every kind of a library, in the order of its table.
const QList<NodeKind>& LibraryKinds(Library library);
// The kind, or nullptr for a TypeID outside the library's table.
const NodeKind* FindNodeKind(Library library, int typeId);
// The kind; a TypeID outside the table fails with "节点类型不正确！" (template and project libraries) or
// "节点类型的值应在 [0,1,2,3] 之中。" (archive library).
const NodeKind& CheckNodeKind(Library library, int typeId);

// The icon of an external file by its lower-cased extension (".doc" 46, ".xls" 45, ".wps" 41, ".txt" 42,
// ".mht" 43, anything else 44).
int ExternalFileIcon(const QString& ext);
// The icon of a node: by kind, by extension for external files, 32 / 33 for an empty / non-empty recycle bin, and
// NodeIcon::None for a kind outside the table.
int NodeIconIndex(Library library, const NodeRecord& record, bool hasChildren);
