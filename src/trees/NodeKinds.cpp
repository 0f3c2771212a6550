#include "trees/NodeKinds.h"
#include "core/QuelmarError.h"

namespace {

NodeKind kind(int typeId, const char* name, int icon, QList<int> contains)
{
    NodeKind k;
    k.typeId = typeId;
    k.name = QString::fromUtf8(name);
    k.icon = icon;
    k.mayContain = std::move(contains);
    return k;
}

NodeKind owning(NodeKind k, bool folder, bool tableFile, bool fillRange, bool external)
{
    k.ownsFolder = folder;
    k.ownsTableFile = tableFile;
    k.ownsFillRange = fillRange;
    k.ownsExternalFile = external;
    return k;
}

} // namespace

const QList<NodeKind>& LibraryKinds(Library library)
{
    using namespace NodeIcon;
    static const QList<NodeKind> moban{
        kind(0, "", LibraryRoot, {9}),
        kind(2, "回收站", None, {}),
        owning(kind(9, "模板", Template, {10, 3}), true, false, false, false),
        kind(10, "通用部分", Folder, {4, 11, 16}),
        kind(3, "分部", Folder, {4, 16}),
        kind(4, "资料分类", DataCategory, {4, 11, 5, 16}),
        owning(kind(5, "分项", SubItem, {}), false, true, true, false),
        owning(kind(11, "通用表格样式", SubItem, {}), false, true, true, false),
        owning(kind(16, "外部文件", None, {}), false, false, false, true),
    };
    static const QList<NodeKind> ziliao{
        kind(0, "", LibraryRoot, {1}),
        kind(2, "回收站", None, {}),
        owning(kind(1, "工程", Project, {10, 3}), true, false, false, false),
        kind(10, "通用部分", Folder, {4, 11, 16}),
        kind(3, "分部", Folder, {4, 16}),
        kind(4, "资料分类", DataCategory, {4, 11, 5, 16}),
        owning(kind(5, "分项", SubItem, {6}), false, true, true, false),
        owning(kind(11, "通用表格样式", SubItem, {7}), false, true, true, false),
        owning(kind(6, "检验表格", Form, {}), false, true, true, false),
        owning(kind(7, "通用表格", Form, {}), false, true, true, false),
        owning(kind(16, "外部文件", None, {}), false, false, false, true),
    };
    // Archive nodes own no files: archived forms and documents refer to the project library's files.
    static const QList<NodeKind> guidang{
        kind(0, "", LibraryRoot, {1}),
        kind(1, "档案柜", Cabinet, {2}),
        kind(2, "分类", Folder, {2}),
        kind(3, "", Form, {}),
        kind(16, "外部文件", None, {}),
    };
    switch (library) {
    case Library::Moban: return moban;
    case Library::ZiLiao: return ziliao;
    case Library::GuiDang: break;
    }
    return guidang;
}

const NodeKind* FindNodeKind(Library library, int typeId)
{
    for (const NodeKind& k : LibraryKinds(library))
        if (k.typeId == typeId)
            return &k;
    return nullptr;
}

const NodeKind& CheckNodeKind(Library library, int typeId)
{
    if (const NodeKind* k = FindNodeKind(library, typeId))
        return *k;
    if (library == Library::GuiDang)
        throw QuelmarError(QStringLiteral("节点类型的值应在 [0,1,2,3] 之中。"));
    throw QuelmarError(QStringLiteral("节点类型不正确！"));
}

int ExternalFileIcon(const QString& ext)
{
    const QString e = ext.toLower();
    if (e == QLatin1String(".doc"))
        return NodeIcon::Doc;
    if (e == QLatin1String(".xls"))
        return NodeIcon::Xls;
    if (e == QLatin1String(".wps"))
        return NodeIcon::Wps;
    if (e == QLatin1String(".txt"))
        return NodeIcon::Txt;
    if (e == QLatin1String(".mht"))
        return NodeIcon::Mht;
    return NodeIcon::OtherFile;
}

int NodeIconIndex(Library library, const NodeRecord& record, bool hasChildren)
{
    const NodeKind* k = FindNodeKind(library, record.TypeID);
    if (!k)
        return NodeIcon::None;
    if (record.TypeID == NodeKinds::ExternalFile)
        return ExternalFileIcon(record.Ext);
    if (LibraryHasRecycleBin(library) && record.TypeID == NodeKinds::RecycleBin)
        return hasChildren ? NodeIcon::RecycleBinFull : NodeIcon::RecycleBinEmpty;
    return k->icon;
}
