// The file the program was started on (`quelmar FILE`, a double-click in the file manager): packages are imported,
// table files shown.
#include "app/MainFrm.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeView>

// The designer's read-only view of a table file that belongs to no node of this program folder.
namespace designer {
void OpenTableFileReadOnly(QWidget* parent, const QString& path);
}

namespace {

bool isBelow(const QString& canonicalPath, const QString& folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    return !canonicalFolder.isEmpty() && canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

}  // namespace

const QStringList& TMainFrm::PackageExtensions()
{
    static const QStringList extensions{QStringLiteral(".gc"), QStringLiteral(".fb"), QStringLiteral(".fl"),
                                        QStringLiteral(".fx"), QStringLiteral(".jy"), QStringLiteral(".bg"),
                                        QStringLiteral(".mb"), QStringLiteral(".ys"), QStringLiteral(".cg")};
    return extensions;
}

QModelIndex TMainFrm::nodeOwningFile(Library lib, const QString& canonicalPath)
{
    LibraryData& data = library(lib);
    QModelIndex found;
    data.tree.forEachPreOrder([&](const QModelIndex& index, int) {
        if (found.isValid())
            return;
        const NodeRecord r = data.tree.record(index);
        if (kindShowsFile(lib, r.TypeID) && QFileInfo(nodeFilePath(lib, r)).canonicalFilePath() == canonicalPath)
            found = index;
    });
    return found;
}

void TMainFrm::OpenFileArgument(const QString& path)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.isFile())
        throw QuelmarError(QStringLiteral("“%1”文件不存在！").arg(shown));
    const QString ext = QLatin1Char('.') + info.suffix().toLower();
    if (PackageExtensions().contains(ext)) {
        ImportPackageFile(info.absoluteFilePath());
        return;
    }
    if (ext != QLatin1String(".cll"))
        throw QuelmarError(QStringLiteral("Quelmar 不能打开“%1”：只能打开交换包（%2）和表格文件（.cll）。")
                               .arg(shown, PackageExtensions().join(QLatin1Char(' '))));

    const QString canonical = info.canonicalFilePath();
    const auto show = [this](Library lib, const QModelIndex& node) {
        if (lib == Library::Moban)
            miMobanClick();
        else
            miZiLiaoClick();
        selectNode(lib, node);
        treeView(lib)->setFocus();
    };
    if (isBelow(canonical, paths().ProTablesDir)) {
        // A project's file; the archive refers to the same files.
        for (Library lib : {Library::ZiLiao, Library::GuiDang}) {
            const QModelIndex node = nodeOwningFile(lib, canonical);
            if (node.isValid()) {
                show(lib, node);
                return;
            }
        }
        prompter().inform(QStringLiteral("Quelmar"),
                          QStringLiteral("表格文件“%1”属于本程序目录的工程库，但不在您能看到的工程库和档案库中"
                                         "（可能属于其他用户，或它的节点已被删除）。")
                              .arg(shown));
        return;
    }
    if (isBelow(canonical, paths().SysTablesDir)) {
        if (!loginInfo().isAdvanced()) {
            prompter().inform(QStringLiteral("Quelmar"),
                              QStringLiteral("表格文件“%1”属于模板库，只有高级用户才能查看模板库。").arg(shown));
            return;
        }
        miMobanClick();
        const QModelIndex node = nodeOwningFile(Library::Moban, canonical);
        if (node.isValid()) {
            show(Library::Moban, node);
            return;
        }
        prompter().inform(QStringLiteral("Quelmar"),
                          QStringLiteral("表格文件“%1”在本程序目录的模板库文件夹中，但没有模板节点使用它。").arg(shown));
        return;
    }
    // A table file from elsewhere (sent by someone, another program folder): read-only, nothing is added.
    designer::OpenTableFileReadOnly(this, info.absoluteFilePath());
}
