#pragma once
#include "store/RowSet.h"
#include "trees/CheckableTreeModel.h"
#include "trees/NodeOps.h"

#include <QList>
#include <QSet>
#include <QString>

class TDataPoolDM;

// The tree of the new-project wizard's second page: the chosen template's subtree with a tick on every node (the
// ticks as every CheckableTreeModel keeps them).
class ProjectWizardTree final : public CheckableTreeModel {
public:
    explicit ProjectWizardTree(QObject* parent = nullptr);

    // Clears the tree and builds the template's subtree from the template rows, every node ticked.
    void build(RowSet& templateRows, const NodeRecord& templateNode);
    // The template the tree was last built for (0 before the first build).
    int builtFor() const { return m_builtFor; }
    QModelIndex rootNode() const { return index(0, 0); }

    // The wizard's result: one row per ticked node in pre-order with the columns iPartIndex, ItemID, Name, TypeID,
    // P_ItemID, iDir, File_Name, Ext, FillMode; the template's values, except iPartIndex (the node's index among
    // all its siblings, ticked or not) and the first row, which carries the project name and TypeID 1.
    DataPacket result(const QString& projectName) const;
    static QStringList resultColumns();

private:
    int m_builtFor = 0;
};

// What the wizard works on: the template rows (GetMobanData), the list of templates (children of the template
// library's root except the recycle bin, in order) and the tick tree. The dialog TProjectWizardFrm shows it; the
// CLI's new-project drives it directly.
class ProjectWizard {
public:
    explicit ProjectWizard(TDataPoolDM& dm);

    const QList<NodeRecord>& templates() const { return m_templates; }
    // The template with that ItemID, or nullptr.
    const NodeRecord* findTemplate(int itemId) const;
    ProjectWizardTree& tree() { return m_tree; }
    const ProjectWizardTree& tree() const { return m_tree; }

    // Page 1 -> page 2: builds the tick tree for the template unless it was built for it last (the earlier
    // ticks stay then). Returns whether it was rebuilt.
    bool prepareTree(const NodeRecord& templateNode);

    // Page 1's check of the name: "名称无效，请输入正确的名称。" for a name of blanks.
    static QString nameRefusal(const QString& name);
    // "完成(&F)": the root must be ticked; otherwise "由于没有选中任何节点，因不能进行下一步的操作。".
    QString finishRefusal() const;

private:
    RowSet m_rows{QStringLiteral("ItemID")};
    QList<NodeRecord> m_templates;
    ProjectWizardTree m_tree;
};

// New project (ZiLiaoNewTypeID1Execute, after the wizard was accepted): creates the project from the wizard's
// result in a new folder of the project library, with the ticked items' table files and header-fill records, and
// places it just before the recycle bin. `ctx.data` is the project library. Shows "工程“name”创建成功。" and
// returns the new project node (to be selected; the caller then opens its overview).
//
// Creation is all or nothing (one WriteUnit): a failure part-way takes back the records, the rows, the copied files
// and the folder when the project made it, so no half-made project is left.
QModelIndex CreateProjectFromTemplate(NodeOpsContext ctx, const QString& projectName, const DataPacket& result);

// The wizard's result without a screen: every node of the template ticked except `excluded` and their subtrees.
// Fails with the wizard's messages (blank name, nothing ticked) or when the template or an excluded key is unknown.
DataPacket WizardResultFor(TDataPoolDM& dm, int templateItemId, const QString& projectName,
                           const QList<int>& excluded);

// Quick add ("快增加(&Q)..."): copies the selected inspection or general form as the last child of its parent,
// asking the name ("复制为同级节点" / "请输入名称:"); the copy gets a fresh file number, the form's current table
// file and a blank header-fill record. Returns the new node, or an invalid index when refused or cancelled.
QModelIndex QuickAddForm(NodeOpsContext ctx, const QModelIndex& selected);
