#include "app/LibraryEntries.h"

#include <algorithm>
#include <functional>

QString libraryPrefix(Library library)
{
    switch (library) {
    case Library::Moban: return QStringLiteral("Moban");
    case Library::ZiLiao: return QStringLiteral("ZiLiao");
    case Library::GuiDang: return QStringLiteral("GuiDang");
    }
    return {};
}

namespace {

// Shorthands that keep each table row on one line.
constexpr bool on = true, off = false;

KindEntries row(int typeId, QList<int> news, const char* newCaption, QList<int> imports, const char* importCaption,
                int exportKind, const char* exportCaption, bool edit, bool rename, bool del, bool print, bool move,
                bool preview, bool quickAdd = false, bool saveAsStyle = false)
{
    KindEntries e;
    e.typeId = typeId;
    e.newKinds = std::move(news);
    e.newCaption = QString::fromUtf8(newCaption);
    e.importKinds = std::move(imports);
    e.importCaption = QString::fromUtf8(importCaption);
    e.exportKind = exportKind;
    e.exportCaption = QString::fromUtf8(exportCaption);
    e.edit = edit;
    e.rename = rename;
    e.del = del;
    e.print = print;
    e.move = move;
    e.preview = preview;
    e.quickAdd = quickAdd;
    e.saveAsStyle = saveAsStyle;
    return e;
}

// Template library. Columns: kind | New [button] | Import [button] | Export [button] |
// edit, rename, delete | print, move | preview.
const QList<KindEntries>& mobanTable()
{
    static const QList<KindEntries> t = {
        row(0, {9}, "新建模板", {9}, "导入模板", -1, "", off, off, off, off, off, off),
        row(2, {}, "", {}, "", -1, "", off, off, off, off, off, off),
        row(9, {10, 3}, "新建通用部分", {3}, "导入分部", 9, "导出模板", off, on, on, on, on, off),
        row(10, {4, 11}, "新建资料分类", {4, 11, 16}, "导入资料分类", 3, "导出分部", off, on, on, on, on, off),
        row(3, {4}, "新建资料分类", {4, 16}, "导入资料分类", 3, "导出分部", off, on, on, on, on, off),
        row(4, {4, 11, 5}, "新建资料分类", {4, 11, 5, 16}, "导入资料分类", 4, "导出资料分类", off, on, on, on, on, off),
        row(5, {}, "", {}, "", 5, "导出分项", on, on, on, on, on, on),
        row(11, {}, "", {}, "", 11, "导出通用表格样式", on, on, on, on, on, on),
        row(16, {}, "", {}, "", 16, "导出外部文件", on, on, on, on, on, off),
    };
    return t;
}

// Project library. Move follows print: every node but the root and the recycle bin can be moved.
// Extra columns: quick add, save as style.
const QList<KindEntries>& ziLiaoTable()
{
    static const QList<KindEntries> t = {
        row(0, {1}, "新建工程", {1}, "导入工程", -1, "", off, off, off, off, off, off, off, off),
        row(2, {}, "", {}, "", -1, "", off, off, off, off, off, off, off, off),
        row(1, {10, 3}, "新建通用部分", {3}, "导入分部", 1, "导出工程", off, on, on, on, on, off, off, off),
        row(10, {4, 11}, "新建资料分类", {4, 11, 16}, "导入资料分类", 3, "导出分部", off, on, on, on, on, off, off, off),
        row(3, {4}, "新建资料分类", {4, 16}, "导入资料分类", 3, "导出分部", off, on, on, on, on, off, off, off),
        row(4, {4, 11, 5}, "新建资料分类", {4, 11, 5, 16}, "导入资料分类", 4, "导出资料分类", off, on, on, on, on, off,
            off, off),
        row(5, {6}, "新建检验表格", {6}, "导入检验批表格", 5, "导出分项", on, on, on, on, on, on, off, off),
        row(11, {7}, "新建通用表格", {7}, "导入通用表格", 11, "导出表格样式", on, on, on, on, on, on, off, off),
        row(6, {}, "", {}, "", 6, "导出检验批表格", on, on, on, on, on, on, on, on),
        row(7, {}, "", {}, "", 7, "导出通用表格", on, on, on, on, on, on, on, on),
        row(16, {}, "", {}, "", 16, "导出外部文件", on, on, on, on, on, off, off, off),
    };
    return t;
}

// Archive library: New, edit, rename and delete by kind. Print, move and preview are ours to choose: print (a
// batch print for folders) and move for every node but the root, preview for archived forms.
const QList<KindEntries>& guiDangTable()
{
    static const QList<KindEntries> t = {
        row(0, {1}, "新建档案柜", {}, "", -1, "", off, off, off, off, off, off),
        row(1, {2}, "新建分类", {}, "", -1, "", off, on, on, on, on, off),
        row(2, {2}, "新建分类", {}, "", -1, "", off, on, on, on, on, off),
        row(3, {}, "", {}, "", -1, "", on, on, on, on, on, on),
        row(16, {}, "", {}, "", -1, "", on, on, on, on, on, off),
    };
    return t;
}

// The kinds of all rows in one order that keeps the order of every row: a kind met for the first time goes right
// after its predecessor in that row. One menu then serves every row.
QList<int> unionOf(Library library, const std::function<QList<int>(const KindEntries&)>& pick)
{
    QList<int> kinds;
    for (const KindEntries& e : entryTable(library)) {
        const QList<int> row = pick(e);
        for (int i = 0; i < row.size(); ++i) {
            if (kinds.contains(row[i]))
                continue;
            const int after = i > 0 ? int(kinds.indexOf(row[i - 1])) : -1;
            kinds.insert(after >= 0 ? after + 1 : kinds.size(), row[i]);
        }
    }
    return kinds;
}

}  // namespace

const QList<KindEntries>& entryTable(Library library)
{
    switch (library) {
    case Library::Moban: return mobanTable();
    case Library::ZiLiao: return ziLiaoTable();
    case Library::GuiDang: return guiDangTable();
    }
    return mobanTable();
}

const KindEntries* findEntries(Library library, int typeId)
{
    const QList<KindEntries>& t = entryTable(library);
    auto it = std::find_if(t.begin(), t.end(), [typeId](const KindEntries& e) { return e.typeId == typeId; });
    return it == t.end() ? nullptr : &*it;
}

QList<int> newActionKinds(Library library)
{
    return unionOf(library, [](const KindEntries& e) { return e.newKinds; });
}

QList<int> importActionKinds(Library library)
{
    return unionOf(library, [](const KindEntries& e) { return e.importKinds; });
}

QList<int> exportActionKinds(Library library)
{
    return unionOf(library, [](const KindEntries& e) {
        return e.exportKind >= 0 ? QList<int>{e.exportKind} : QList<int>{};
    });
}
