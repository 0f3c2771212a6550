// The table designer from the main window: "编辑文件(&E)..." of the three libraries and the double-click on a
// table node. The viewer lets go of the file while the designer has it and shows it again afterwards.
#include "app/MainFrm.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "projects/HeaderFields.h"
#include "projects/ProjectOverview.h"
#include "store/TableLock.h"
#include "trees/NodeKinds.h"

#include <QDir>
#include <QFileInfo>

void TMainFrm::MobanEditTableExecute()
{
    EditTable(Library::Moban);
}

void TMainFrm::ZiLiaoEditTableExecute()
{
    EditTable(Library::ZiLiao);
}

void TMainFrm::GuiDangEditTableExecute()
{
    EditTable(Library::GuiDang);
}

void TMainFrm::EditTable(Library lib)
{
    if (!RecycleGuard(lib))
        return;
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    const NodeRecord r = library(lib).tree.record(node);
    const QString path = nodeFilePath(lib, r);
    if (!QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("文件 %1 不存在。").arg(QDir::toNativeSeparators(path)));
    // A document goes to its own application; the archive's documents too, since the designer reads only tables.
    if (r.TypeID == NodeKinds::ExternalFile) {
        if (lib == Library::Moban)
            MobanOpenOleContainerExecute();
        else
            ZiLiaoOpenOleContainerExecute();
        return;
    }
    OpenInDesigner(lib, node);
}

void TMainFrm::OpenInDesigner(Library lib, const QModelIndex& index)
{
    const QPersistentModelIndex node(index);
    const NodeRecord r = library(lib).tree.record(node);
    const QString path = nodeFilePath(lib, r);
    if (!QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("文件 %1 不存在。").arg(QDir::toNativeSeparators(path)));

    designer::DesignerServices services;
    services.dm = m_s.dm;
    services.prompter = m_s.prompter;
    // "加载工程概况(&L)" writes the header values of the form's project (the user's defaults outside a project).
    // A template's form belongs to no project and stays blank: it only gets the option lists.
    if (lib != Library::Moban)
        services.headerValues = [this, r] {
            QStringList values = HeaderFields::emptyValues();
            int cachedDir = 0;
            ::LoadHeaderValues(*m_s.dm, m_s.login->opName, r, cachedDir, values);
            return values;
        };
    designer::DesignerRequest request;
    request.path = path;
    request.displayName = r.Name;
    request.fillMode = r.FillMode;

    // One designer edits a form at a time, across the workstations of a team: a form open in another one is shown
    // read-only here, with who holds it.
    QString holder;
    const std::unique_ptr<store::TableLock> lock = store::TableLock::acquire(
        *m_s.dm, QDir(m_s.paths.AppDir).relativeFilePath(path), m_s.login->opName, &holder);
    if (!lock) {
        const QString held = store::TableLock::heldMessage(holder);
        m_s.prompter->inform(QStringLiteral("Quelmar"), held);
        request.readOnly = true;
        request.readOnlyNote = held;
    }

    TableViewer& viewer = contentPane(lib).viewer();
    viewer.ResetContent();
    // The viewer shows the file again however the designer ended (saved, dropped, or failed).
    struct Reopen {
        TMainFrm* main;
        Library lib;
        QPersistentModelIndex node;
        QString path;
        ~Reopen()
        {
            try {
                LoadTableFile(main->contentPane(lib).viewer(), path);
            } catch (...) {
                // A file the viewer cannot show leaves it empty; the designer's own failure is the one reported.
            }
            ViewerNode& shown = lib == Library::Moban ? main->m_mobanViewerNode : main->m_ziLiaoViewerNode;
            shown = {lib, node};
            main->updateSaveActions();
        }
    } reopen{this, lib, node, path};
    if (m_s.designerRunner)
        m_s.designerRunner(this, services, request);
    else
        designer::RunDesigner(this, services, request);
}
