#pragma once
#include <QString>
#include <QStringList>

#include <optional>

class Prompter;
class TDataPoolDM;
struct NodeRecord;

// A project's overview (table gcgk, keyed by the project's folder number) and each user's default overview (table
// defaultgk, keyed by the login name): 18 header values each, in the order of HeaderFields. The values are what
// the header fill writes into new forms; PendingHeaderValues holds the ones for the selected node's folder.

// The dialog that edits the 18 values (TProjectOptFrm in the program). It only gathers the texts.
class OverviewEditor {
public:
    virtual ~OverviewEditor() = default;
    // Shows `values` (18) under the heading `label`; true on OK with the boxes' texts in `values`.
    virtual bool edit(const QString& label, QStringList& values) = 0;
};

struct OverviewResult {
    bool accepted = false;
    QStringList values;   // the 18 stored values when accepted
};

// The heading of the default overview dialog.
QString DefaultOverviewLabel();

// The 18 values of the record (null as empty), or nothing when there is none.
std::optional<QStringList> ReadProjectOverview(TDataPoolDM& dm, int dirNo);
std::optional<QStringList> ReadDefaultOverview(TDataPoolDM& dm, const QString& userName);
// The user's default overview; an empty row is created first when the user has none (every user is expected to
// have one, and a missing row must not keep him from working).
QStringList LoadDefaultOverview(TDataPoolDM& dm, const QString& userName);

// Trims the 18 values and writes what changed. A value longer than the columns' 50 characters is refused with a
// message naming the field, before anything is written. Returns the stored values.
// The project record must exist: Format("工程“%s”没有其工程概况信息！") with `projectName` otherwise.
QStringList WriteProjectOverview(TDataPoolDM& dm, int dirNo, const QStringList& values,
                                 const QString& projectName = QString());
// Creates the user's row when missing.
QStringList WriteDefaultOverview(TDataPoolDM& dm, const QString& userName, const QStringList& values);

// The overview action on a project (ZiLiaoProjectMsg): reads the record (missing: the error message and not
// accepted), lets the editor change it, stores the trimmed values on OK. Cancel writes nothing.
OverviewResult EditProjectOverview(TDataPoolDM& dm, Prompter& prompter, OverviewEditor& editor, int dirNo,
                                   const QString& projectName);
// The default overview action (ZiLiaoDefaultProjectMsg) for the logged-in user; a missing row is created.
OverviewResult EditDefaultOverview(TDataPoolDM& dm, OverviewEditor& editor, const QString& userName);

// Whether the overview action (ZiLiaoProjectMsg) is enabled for the node: on project nodes only.
bool ProjectOverviewAvailable(const NodeRecord& node);

// What the project tree's selection change does before the node's content is shown: returns whether the overview
// action is enabled (project nodes only) and, when the node lies in another folder than `cachedDir`, caches its
// folder first and loads `values` from the project's overview (a project folder) or the user's defaults (any other
// folder; created when missing). A project folder without its overview record fails with
// "该工程没有相应的工程概况！" (the folder stays cached, so the next node of the folder shows normally).
// Library root and recycle bin: disabled, nothing loaded.
bool LoadHeaderValues(TDataPoolDM& dm, const QString& userName, const NodeRecord& node, int& cachedDir,
                      QStringList& values);
