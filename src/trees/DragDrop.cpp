// The drag-and-drop tables of the three trees: what a node under the mouse accepts while a node is dragged over it,
// and which menu (and which entries of it) a drop opens. The desktop program's trees, the CLI's copy / move /
// archive commands and the operations themselves all read these tables.
#include "trees/DragDrop.h"
#include "trees/LibraryTreeModel.h"
#include "trees/NodeKinds.h"
#include "trees/NodeOps.h"

#include <map>

namespace {

using KindTable = std::map<int, QList<int>>;

const KindTable& dragOverTable(Library library)
{
    // Source kind -> the target kinds that accept it (2 is the recycle bin in the template and project trees).
    static const KindTable moban{{3, {2, 3, 9, 10}},  {4, {2, 3, 4, 10}}, {5, {2, 4, 5}},
                                 {9, {0, 2, 9}},      {10, {2, 3, 9, 10}}, {11, {2, 4, 5, 10, 11}},
                                 {16, {2, 3, 4, 10}}};
    static const KindTable ziLiao{{1, {0, 1, 2}},     {3, {1, 2, 3, 10}},  {4, {2, 3, 4, 10}},
                                  {5, {2, 4, 5}},     {6, {2, 5, 6}},      {7, {2, 7, 11}},
                                  {10, {1, 2, 3, 10}}, {11, {2, 4, 5, 10, 11}}, {16, {2, 3, 4, 10}}};
    static const KindTable guiDang{{1, {0, 1}}, {2, {1, 2}}, {3, {2, 3, 16}}, {16, {2, 3, 16}}};
    switch (library) {
    case Library::Moban: return moban;
    case Library::ZiLiao: return ziLiao;
    case Library::GuiDang: break;
    }
    return guiDang;
}

// Whether `node` lies inside the subtree of `ancestor` (the node itself included).
bool inSubtree(const QModelIndex& node, const QModelIndex& ancestor)
{
    for (QModelIndex n = node; n.isValid(); n = n.parent())
        if (n == ancestor)
            return true;
    return false;
}

int typeOf(const QModelIndex& node)
{
    return node.data(LibraryTreeModel::TypeIdRole).toInt();
}

bool isRootOrBin(const LibraryTreeModel& tree, const QModelIndex& node)
{
    if (tree.level(node) == 0)
        return true;
    return LibraryHasRecycleBin(tree.library()) && tree.level(node) == 1 && typeOf(node) == NodeKinds::RecycleBin;
}

QString placeWord(DropPlace place)
{
    switch (place) {
    case DropPlace::Child: return QStringLiteral("子节点");
    case DropPlace::Prior: return QStringLiteral("同级上方节点");
    case DropPlace::Next: return QStringLiteral("同级下方节点");
    }
    return {};
}

} // namespace

QString WrongTargetKindMessage()
{
    return QStringLiteral("目标节点类型错误！");
}

bool DragOverKindAccepted(Library library, int sourceType, int targetType)
{
    const KindTable& table = dragOverTable(library);
    const auto it = table.find(sourceType);
    return it != table.end() && it->second.contains(targetType);
}

bool DragOverAccepted(const LibraryTreeModel& tree, const QModelIndex& source, const QModelIndex& target)
{
    if (!source.isValid() || !target.isValid() || source == target)
        return false;
    if (tree.library() == Library::GuiDang) {
        if (tree.level(source) == 0)
            return false;
    } else {
        if (isRootOrBin(tree, source))
            return false;
        if (IsInRecycleBin(tree, target))
            return false;
        const bool targetIsBin = tree.level(target) == 1 && typeOf(target) == NodeKinds::RecycleBin;
        if (targetIsBin && IsInRecycleBin(tree, source))
            return false;
    }
    // Nothing goes into its own subtree (for a data category onto one of its own data categories, and whatever
    // the rows of a damaged or imported library may hold).
    if (inSubtree(target, source))
        return false;
    return DragOverKindAccepted(tree.library(), typeOf(source), typeOf(target));
}

bool ArchiveDragOverAccepted(const LibraryTreeModel& projectTree, const QModelIndex& source,
                             const QModelIndex& archiveTarget)
{
    if (!source.isValid() || isRootOrBin(projectTree, source) || !archiveTarget.isValid())
        return false;
    const int target = typeOf(archiveTarget);
    return target != NodeKinds::Root && target != 1;
}

int DropMenuCode(Library library, int s, int n)
{
    using namespace DropMenu;
    if (library == Library::GuiDang) {
        if (s == 1)
            return n == 0 ? ChildEntries : n == 1 ? SiblingEntries : None;
        if (s == 2)
            return n == 1 ? ChildEntries : n == 2 ? AllEntries : None;
        if (s == 3 || s == NodeKinds::ExternalFile)
            return n == 2 ? AllEntries : (n == 3 || n == NodeKinds::ExternalFile) ? SiblingEntries : None;
        return None;
    }
    const bool moban = library == Library::Moban;
    // The recycle bin offers to delete whatever the table knows.
    const bool known = moban ? (s == 3 || s == 4 || s == 5 || s == 9 || s == 10 || s == 11 || s == 16)
                             : (s == 1 || s == 3 || s == 4 || s == 5 || s == 6 || s == 7 || s == 10 || s == 11
                                || s == 16);
    if (!known)
        return None;
    if (n == NodeKinds::RecycleBin)
        return Delete;
    switch (s) {
    case 1:   // project
        return n == 0 ? ChildEntries : n == 1 ? SiblingEntries : None;
    case 3:   // division
    case 10:  // common part
        if (n == (moban ? 9 : 1))
            return ChildEntries;
        return (n == 3 || n == 10) ? SiblingEntries : None;
    case 4:   // data category
    case 16:  // external file
        if (n == 3 || n == 10)
            return ChildEntries;
        return n == 4 ? AllEntries : None;
    case 5:   // sub-item
        return n == 4 ? ChildEntries : n == 5 ? SiblingEntries : None;
    case 6:   // inspection form
        return n == 5 ? ChildEntries : n == 6 ? SiblingEntries : None;
    case 7:   // general form
        return n == 11 ? ChildEntries : n == 7 ? SiblingEntries : None;
    case 9:   // template
        return n == 0 ? ChildEntries : n == 9 ? SiblingEntries : None;
    case 11:  // general form style
        if (n == 4 || n == 10)
            return ChildEntries;
        return (n == 5 || n == 11) ? SiblingEntries : None;
    }
    return None;
}

int ArchiveMenuCode(int targetType)
{
    if (targetType == 2)
        return ArchiveMenu::Child | ArchiveMenu::Siblings;
    if (targetType == 3 || targetType == NodeKinds::ExternalFile)
        return ArchiveMenu::Siblings;
    return ArchiveMenu::None;
}

bool DropCodeAllows(int code, bool move, DropPlace place)
{
    if (code & DropMenu::Delete)
        return false;
    const int bit = place == DropPlace::Child ? (move ? DropMenu::MoveChild : DropMenu::CopyChild)
                                              : (move ? DropMenu::MoveSibling : DropMenu::CopySibling);
    return (code & bit) != 0;
}

QString SelfDropRefusal(const LibraryTreeModel& tree, const QModelIndex& source, const QModelIndex& target,
                        bool move, DropPlace place)
{
    if (!source.isValid() || !target.isValid())
        return QStringLiteral("没有指定源节点或目标节点。");
    if (source == target)
        return QStringLiteral("源节点和目标节点相同。");
    if (isRootOrBin(tree, source))
        return QStringLiteral("“%1”不能拖动。").arg(source.data().toString());
    if (inSubtree(target, source))
        return QStringLiteral("不能把“%1”放到它自己的下级中。").arg(source.data().toString());
    if (!DragOverAccepted(tree, source, target))
        return WrongTargetKindMessage();
    const int code = DropMenuCode(tree.library(), typeOf(source), typeOf(target));
    if (code == DropMenu::None)
        return WrongTargetKindMessage();
    if (code == DropMenu::Delete)
        return QStringLiteral("拖到回收站上只能删除节点。");
    if (!DropCodeAllows(code, move, place))
        return QStringLiteral("“%1”不能%2为“%3”的%4。")
            .arg(source.data().toString(), move ? QStringLiteral("移动") : QStringLiteral("复制"),
                 target.data().toString(), placeWord(place));
    return {};
}

QString ArchiveDropRefusal(const LibraryTreeModel& projectTree, const QModelIndex& source,
                           const LibraryTreeModel&, const QModelIndex& target, DropPlace place)
{
    if (!source.isValid() || !target.isValid())
        return QStringLiteral("没有指定源节点或目标节点。");
    if (!ArchiveDragOverAccepted(projectTree, source, target))
        return WrongTargetKindMessage();
    const int code = ArchiveMenuCode(typeOf(target));
    const int bit = place == DropPlace::Child ? ArchiveMenu::Child : ArchiveMenu::Siblings;
    if (code == ArchiveMenu::None)
        return WrongTargetKindMessage();
    if (!(code & bit))
        return QStringLiteral("“%1”不能归档为“%2”的%3。")
            .arg(source.data().toString(), target.data().toString(), placeWord(place));
    return {};
}

bool ParseDropPlace(const QString& text, DropPlace* place)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("child"))
        *place = DropPlace::Child;
    else if (t == QLatin1String("prior"))
        *place = DropPlace::Prior;
    else if (t == QLatin1String("next"))
        *place = DropPlace::Next;
    else
        return false;
    return true;
}
