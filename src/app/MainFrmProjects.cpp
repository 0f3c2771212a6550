// The project work of the main window: a new project from a template (wizard), quick add of a form, the project
// and default overviews, the option lists of the tools menu, and the two steps of the project tree's selection
// event that keep the header values in step (LoadHeaderValues) and fill a new form's header (FillPendingHeader).
#include "app/MainFrm.h"

#include "app/IconFactory.h"
#include "app/OptConfigFrm.h"
#include "app/ProjectOptFrm.h"
#include "app/ProjectWizardFrm.h"
#include "projects/HeaderFill.h"
#include "projects/NewProject.h"
#include "projects/ProjectOverview.h"

#include <QAction>

// "新建工程(&G)...": the wizard, then the copy of the ticked template items; the new project is selected and its
// overview dialog opened, so the user fills in its header values at once.
void TMainFrm::ZiLiaoNewTypeID1Execute()
{
    if (!RecycleGuard(Library::ZiLiao))
        return;
    QString name;
    DataPacket rows;
    if (!RunProjectWizard(*m_s.dm, *m_s.prompter, this, name, rows))
        return;
    const QModelIndex project = CreateProjectFromTemplate(nodeOpsContext(Library::ZiLiao), name, rows);
    if (!project.isValid())
        return;
    // The new folder number may be one a purged project had: its values are read anew.
    HeaderValuesDir = 0;
    selectNode(Library::ZiLiao, project);
    ZiLiaoProjectMsgExecute();
}

// "快增加(&Q)...": a copy of the selected form beside it (no header fill: its header-fill record is blank).
void TMainFrm::ZiLiaoQuicklyNewExecute()
{
    const QModelIndex created = QuickAddForm(nodeOpsContext(Library::ZiLiao), selectedNode(Library::ZiLiao));
    if (created.isValid())
        selectNode(Library::ZiLiao, created);
}

// "工程概况(&O)..." on the selected project: accepted values become the header values of new forms.
void TMainFrm::ZiLiaoProjectMsgExecute()
{
    const QModelIndex node = selectedNode(Library::ZiLiao);
    if (!node.isValid())
        return;
    const NodeRecord r = m_ziLiao.tree.record(node);
    if (!ProjectOverviewAvailable(r))
        return;
    const OverviewResult result = RunProjectOverview(*m_s.dm, *m_s.prompter, this, r.iDir, r.Name);
    if (result.accepted)
        PendingHeaderValues = result.values;
}

// "缺省概况(&D)": the user's defaults; accepted, they are the header values until the selection changes folder.
void TMainFrm::ZiLiaoDefaultProjectMsgExecute()
{
    const OverviewResult result = RunDefaultOverview(*m_s.dm, *m_s.prompter, this, m_s.login->opName);
    if (result.accepted)
        PendingHeaderValues = result.values;
}

// "维护工程概况选项(&C)...": the option lists of the 18 header fields.
void TMainFrm::miGkxxConfigClick()
{
    EditOptionLists(*m_s.dm, *m_s.prompter, this);
}

void TMainFrm::LoadHeaderValues(const NodeRecord& node)
{
    // The overview action follows the node's kind before the values are read, also when reading them fails.
    const bool project = ProjectOverviewAvailable(node);
    QAction* overview = m_ziLiaoActs->own(QStringLiteral("ProjectMsg"));
    overview->setEnabled(project);
    overview->setIcon(IconFactory::nodeIcon(project ? 15 : 25));
    ::LoadHeaderValues(*m_s.dm, m_s.login->opName, node, HeaderValuesDir, PendingHeaderValues);
}

void TMainFrm::FillPendingHeader(const NodeRecord& node)
{
    if (!HeaderFillPending)
        return;
    // Only the form that was created is filled; another form shown meanwhile stays as it is.
    if (HeaderFillItem != 0 && node.ItemID != HeaderFillItem)
        return;
    const QString path = nodeFilePath(Library::ZiLiao, node);
    if (!FillPendingFormHeader(*m_s.dm, path, node.FillMode, PendingHeaderValues, HeaderFillPending))
        return;
    HeaderFillItem = 0;
    // The viewer shows the form as it now is on disk.
    LoadTableFile(contentPane(Library::ZiLiao).viewer(), path);
}
