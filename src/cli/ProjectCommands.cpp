// Project commands: new project from a template, quick add, the project overview and the user's defaults, the
// header-fill positions of a form and the option lists. Each runs the same core operation as the program's
// dialogs, without a screen.
#include "cli/Cli.h"
#include "cell/CellControl.h"
#include "cli/CliSession.h"
#include "projects/HeaderFields.h"
#include "projects/HeaderFill.h"
#include "projects/NewProject.h"
#include "projects/OptionLists.h"
#include "projects/ProjectOverview.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "trees/NodeKinds.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

NodeOpsContext opsContext(CliContext& ctx, LibraryData& data)
{
    CliSession& s = ctx.session();
    return NodeOpsContext{data, s.dm(), s.paths(), s.login(), s.prompter()};
}

QModelIndex nodeOf(LibraryData& data, int itemId)
{
    const QModelIndex index = data.tree.indexOfItem(itemId);
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(itemId));
    return index;
}

// Messages the operation showed go to stderr, as the program shows them in boxes; the success note is left out.
void reportWarnings(CliContext& ctx)
{
    for (const ScriptedPrompter::Event& e : std::as_const(ctx.prompter.events))
        if (e.kind == QLatin1String("warning") || e.kind == QLatin1String("error"))
            ctx.err << e.text << '\n';
    ctx.err.flush();
}

int fieldNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > HeaderFields::Count)
        throw CliUsageError(QStringLiteral("表头项的序号应在 1 到 18 之间：%1").arg(text));
    return n;
}

// "N=VALUE" arguments from position `from` on, as (field, value) pairs.
QList<QPair<int, QString>> assignments(CliContext& ctx, int from)
{
    QList<QPair<int, QString>> list;
    for (int i = from; i < ctx.opt.args.size(); ++i) {
        const QString a = ctx.opt.args.at(i);
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw CliUsageError(QStringLiteral("参数应写作 N=值：%1").arg(a));
        list.append({fieldNumber(a.left(eq)), a.mid(eq + 1)});
    }
    if (list.isEmpty())
        throw CliUsageError(QStringLiteral("缺少参数 N=值"));
    return list;
}

void printValues(CliContext& ctx, const QStringList& values)
{
    if (ctx.opt.json) {
        QJsonObject o;
        for (int n = 1; n <= HeaderFields::Count; ++n)
            o.insert(QString::number(n), values.value(n - 1));
        ctx.printJson(o);
        return;
    }
    for (int n = 1; n <= HeaderFields::Count; ++n)
        ctx.print(QStringLiteral("%1\t%2\t%3").arg(n).arg(HeaderFields::name(n), values.value(n - 1)));
}

NodeRecord projectOf(CliContext& ctx, int itemId)
{
    LibraryData& data = ctx.session().library(Library::ZiLiao);
    const NodeRecord r = data.tree.record(nodeOf(data, itemId));
    if (r.TypeID != 1)
        throw QuelmarError(QStringLiteral("节点“%1”不是工程节点。").arg(r.Name));
    return r;
}

// ---- new-project, quick-add -------------------------------------------------------------------------------------

int runNewProject(CliContext& ctx)
{
    const int templateId = ctx.intArg(0, "TEMPLATE_ID");
    const QString name = ctx.arg(1, "NAME");
    QList<int> excluded;
    for (const QString& e : ctx.opt.values.value(QStringLiteral("exclude"))) {
        bool ok = false;
        excluded << e.toInt(&ok);
        if (!ok)
            throw CliUsageError(QStringLiteral("--exclude 应为整数：%1").arg(e));
    }
    CliSession& s = ctx.session();
    const DataPacket result = WizardResultFor(s.dm(), templateId, name, excluded);
    LibraryData& data = s.library(Library::ZiLiao);
    const QModelIndex project = CreateProjectFromTemplate(opsContext(ctx, data), name, result);
    reportWarnings(ctx);
    const NodeRecord r = data.tree.record(project);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("ItemID"), r.ItemID},
                                  {QStringLiteral("iDir"), r.iDir},
                                  {QStringLiteral("nodes"), int(result.rows.size())}});
    else
        ctx.print(QString::number(r.ItemID));
    return 0;
}

int runQuickAdd(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(Library::ZiLiao);
    const QModelIndex node = nodeOf(data, ctx.intArg(0, "ID"));
    ctx.prompter.texts.enqueue(ctx.arg(1, "NAME"));
    const QModelIndex created = QuickAddForm(opsContext(ctx, data), node);
    reportWarnings(ctx);
    if (!created.isValid())
        return 1;
    ctx.print(QString::number(data.tree.record(created).ItemID));
    return 0;
}

// ---- overview, defaults ---------------------------------------------------------------------------------------

int runOverviewGet(CliContext& ctx)
{
    const NodeRecord p = projectOf(ctx, ctx.intArg(0, "PROJECT_ID"));
    const std::optional<QStringList> values = ReadProjectOverview(ctx.session().dm(), p.iDir);
    if (!values)
        throw QuelmarError(QStringLiteral("工程“%1”没有其工程概况信息！").arg(p.Name));
    printValues(ctx, *values);
    return 0;
}

int runOverviewSet(CliContext& ctx)
{
    const NodeRecord p = projectOf(ctx, ctx.intArg(0, "PROJECT_ID"));
    TDataPoolDM& dm = ctx.session().dm();
    const std::optional<QStringList> stored = ReadProjectOverview(dm, p.iDir);
    if (!stored)
        throw QuelmarError(QStringLiteral("工程“%1”没有其工程概况信息！").arg(p.Name));
    QStringList values = *stored;
    for (const auto& [n, v] : assignments(ctx, 1))
        values[n - 1] = v;
    printValues(ctx, WriteProjectOverview(dm, p.iDir, values, p.Name));
    return 0;
}

int runDefaultsGet(CliContext& ctx)
{
    CliSession& s = ctx.session();
    printValues(ctx, LoadDefaultOverview(s.dm(), s.login().opName));
    return 0;
}

int runDefaultsSet(CliContext& ctx)
{
    CliSession& s = ctx.session();
    QStringList values = LoadDefaultOverview(s.dm(), s.login().opName);
    for (const auto& [n, v] : assignments(ctx, 0))
        values[n - 1] = v;
    printValues(ctx, WriteDefaultOverview(s.dm(), s.login().opName, values));
    return 0;
}

// ---- fill-positions --------------------------------------------------------------------------------------------

NodeRecord formOf(CliContext& ctx, Library* library = nullptr)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const NodeRecord r = data.tree.record(nodeOf(data, ctx.intArg(1, "ID")));
    const NodeKind* kind = FindNodeKind(data.library(), r.TypeID);
    if (data.library() == Library::GuiDang || !kind || !kind->ownsFillRange || r.FillMode == 0)
        throw QuelmarError(QStringLiteral("节点“%1”没有表头填写位置。").arg(r.Name));
    if (library)
        *library = data.library();
    return r;
}

// The sheet the form's positions must lie in: the current sheet of its table file, as the dialog sees it in the
// designer.
SheetExtent formSheet(CliContext& ctx, Library library, const NodeRecord& r)
{
    const AppPaths& paths = ctx.session().paths();
    const QString folder = library == Library::Moban ? paths.MobanFolderPath(r.iDir) : paths.ZiLiaoFolderPath(r.iDir);
    const QString path = FileLayout::NodeFilePath(folder, r.File_Name, r.Ext);
    cell::CellControl control;
    if (control.OpenFile(path, cell::tableFilePassword()) != 1)
        throw QuelmarError(control.errorString().isEmpty()
                               ? QStringLiteral("无法打开表格文件“%1”，填写位置无法检查。").arg(path)
                               : control.errorString());
    return CurrentSheetExtent(control);
}

void printPositions(CliContext& ctx, const FillPositions& p)
{
    if (ctx.opt.json) {
        QJsonObject o;
        for (int n = 1; n <= HeaderFields::Count; ++n) {
            const FillPosition& f = p[size_t(n - 1)];
            o.insert(QString::number(n), QJsonObject{{QStringLiteral("filled"), f.filled},
                                                     {QStringLiteral("row"), f.row},
                                                     {QStringLiteral("col"), f.col}});
        }
        ctx.printJson(o);
        return;
    }
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const FillPosition& f = p[size_t(n - 1)];
        ctx.print(QStringLiteral("%1\t%2\t%3\t%4")
                      .arg(n)
                      .arg(HeaderFields::name(n), f.filled ? QStringLiteral("填写") : QStringLiteral("-"),
                           f.ref()));
    }
}

int runFillGet(CliContext& ctx)
{
    const NodeRecord r = formOf(ctx);
    const std::optional<FillPositions> p = ReadFillPositions(ctx.session().dm(), r.FillMode);
    if (!p)
        throw QuelmarError(QStringLiteral("没有找到相应表头信息！"));
    printPositions(ctx, *p);
    return 0;
}

int runFillSet(CliContext& ctx)
{
    Library library = Library::ZiLiao;
    const NodeRecord r = formOf(ctx, &library);
    TDataPoolDM& dm = ctx.session().dm();
    std::optional<FillPositions> p = ReadFillPositions(dm, r.FillMode);
    if (!p)
        throw QuelmarError(QStringLiteral("没有找到相应表头信息！"));
    const SheetExtent sheet = formSheet(ctx, library, r);
    static const QRegularExpression split(QStringLiteral("^([A-Za-z]*)(.*)$"));
    for (const auto& [n, ref] : assignments(ctx, 2)) {
        FillPosition& f = (*p)[size_t(n - 1)];
        if (ref.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0) {
            f.filled = false;
            continue;
        }
        const QRegularExpressionMatch m = split.match(ref.trimmed());
        f.filled = true;
        f.col = m.captured(1);
        f.row = m.captured(2);
    }
    // The dialog's check against the form's sheet, with its messages.
    if (const FillPositionCheck check = CheckFillPositions(*p, sheet); check.field != 0)
        throw QuelmarError(check.message);
    StoreFillPositions(dm, r.FillMode, *p);
    printPositions(ctx, *ReadFillPositions(dm, r.FillMode));
    return 0;
}

// ---- options ------------------------------------------------------------------------------------------------------

int runOptionsList(CliContext& ctx)
{
    OptionLists lists(ctx.session().dm());
    QList<int> fields;
    if (ctx.opt.args.isEmpty())
        for (int n = 1; n <= HeaderFields::Count; ++n)
            fields << n;
    else
        fields << fieldNumber(ctx.arg(0, "N"));
    QJsonObject all;
    for (int n : fields) {
        const QStringList items = lists.items(n);
        if (ctx.opt.json) {
            all.insert(QString::number(n), QJsonArray::fromStringList(items));
            continue;
        }
        if (fields.size() > 1 && items.isEmpty())
            continue;
        ctx.print(QStringLiteral("%1 %2").arg(n).arg(HeaderFields::name(n)));
        for (qsizetype i = 0; i < items.size(); ++i)
            ctx.print(QStringLiteral("  %1\t%2").arg(i + 1).arg(items.at(i)));
    }
    if (ctx.opt.json)
        ctx.printJson(fields.size() == 1 ? QJsonValue(all.value(QString::number(fields.first()))) : QJsonValue(all));
    return 0;
}

int runOptionsAdd(CliContext& ctx)
{
    OptionLists lists(ctx.session().dm());
    const int n = fieldNumber(ctx.arg(0, "N"));
    ctx.print(QString::number(lists.add(n, ctx.arg(1, "NAME")) + 1));
    return 0;
}

int runOptionsDelete(CliContext& ctx)
{
    OptionLists lists(ctx.session().dm());
    const int n = fieldNumber(ctx.arg(0, "N"));
    const int position = ctx.intArg(1, "POSITION");
    if (position < 1 || position > lists.items(n).size())
        throw QuelmarError(QStringLiteral("选项列表“%1”中没有第 %2 项。").arg(HeaderFields::name(n)).arg(position));
    // The dialog's "删除(&D)...": it asks "确实要删除该项吗？", answered yes only with --yes.
    if (lists.Delete(ctx.prompter, n, position - 1) == -2) {
        ctx.err << QStringLiteral("未删除：没有得到确认（加 --yes 回答“是”）。") << '\n';
        ctx.err.flush();
        return 1;
    }
    return 0;
}

int runOptionsClear(CliContext& ctx)
{
    OptionLists lists(ctx.session().dm());
    const int n = fieldNumber(ctx.arg(0, "N"));
    if (!lists.Clear(ctx.prompter, n)) {
        ctx.err << QStringLiteral("未清空：没有得到确认（加 --yes 回答“是”）。") << '\n';
        ctx.err.flush();
        return 1;
    }
    return 0;
}

CliCommand command(const char* name, const char* usage, const char* summary, int minArgs, int maxArgs,
                   int (*run)(CliContext&))
{
    return makeCliCommand(name, usage, summary, minArgs, maxArgs, run);
}

CliCommand newProjectSpec()
{
    CliCommand c = command("new-project", "TEMPLATE_ID NAME [--exclude ID]...",
                           "按模板新建工程（除 --exclude 的条目及其下级外全部选中），显示新工程的关键字", 2, 2,
                           runNewProject);
    c.valueOptions = {QStringLiteral("exclude")};
    return c;
}

const CliRegistrar regNewProject(newProjectSpec());
const CliRegistrar regQuickAdd(command("quick-add", "ID NAME", "快增加：把检验表格或通用表格复制为同级节点", 2, 2,
                                       runQuickAdd));
const CliRegistrar regOverviewGet(command("overview get", "PROJECT_ID", "显示工程概况的 18 项（--json）", 1, 1,
                                          runOverviewGet));
const CliRegistrar regOverviewSet(command("overview set", "PROJECT_ID N=VALUE...", "修改工程概况（N 为 1 到 18）",
                                          2, -1, runOverviewSet));
const CliRegistrar regDefaultsGet(command("defaults get", "", "显示当前用户的缺省概况（--json）", 0, 0,
                                          runDefaultsGet));
const CliRegistrar regDefaultsSet(command("defaults set", "N=VALUE...", "修改当前用户的缺省概况", 1, -1,
                                          runDefaultsSet));
const CliRegistrar regFillGet(command("fill-positions get", "LIBRARY ID", "显示表格的表头填写位置（--json）", 2, 2,
                                      runFillGet));
const CliRegistrar regFillSet(command("fill-positions set", "LIBRARY ID N=REF... [N=off...]",
                                      "设置表头填写位置（如 1=B3，5=off）", 3, -1, runFillSet));
const CliRegistrar regOptionsList(command("options list", "[N]", "显示工程概况选项列表（--json）", 0, 1,
                                          runOptionsList));
const CliRegistrar regOptionsAdd(command("options add", "N NAME", "在选项列表 N 末尾新建一项", 2, 2, runOptionsAdd));
const CliRegistrar regOptionsDelete(command("options delete", "N POSITION [--yes]", "删除选项列表 N 的第 POSITION 项",
                                            2, 2, runOptionsDelete));
const CliRegistrar regOptionsClear(command("options clear", "N [--yes]", "清空选项列表 N", 1, 1, runOptionsClear));

} // namespace
