#include "projects/SampleTemplate.h"

#include "cell/CellControl.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFill.h"
#include "projects/OptionLists.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "trees/LibraryData.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QColor>

namespace {

using cell::CellControl;

struct CheckItem {
    const char* item;
    const char* spec;
};

// One form of the template: an inspection record (table of check items) or a general record (free rows).
struct SampleForm {
    const char* name;
    const char* title;
    const char* code;
    QList<CheckItem> items;   // empty: a general record
    QList<const char*> lines; // general record: the captions of its rows
};

// Columns: A 项次, B 检查项目, C 规定值或允许偏差, D..K eight measured values, L 合格率.
constexpr int kLastCol = 12;
constexpr int kMeasured = 8;

class FormDrawer {
public:
    FormDrawer()
    {
        m_cell.ResetContent();
        m_sheet = m_cell.GetCurSheet();
        m_gray = m_cell.FindColorIndex(QColor(0xF0, 0xF0, 0xF0), 1);
    }

    CellControl& cell() { return m_cell; }

    void size(int rows)
    {
        m_cell.SetCols(kLastCol + 1, m_sheet);
        m_cell.SetRows(rows + 1, m_sheet);
        const int widths[kLastCol + 1] = {30, 44, 150, 128, 50, 50, 50, 50, 50, 50, 50, 50, 72};
        for (int c = 0; c <= kLastCol; ++c)
            m_cell.setColWidth(m_sheet, c, widths[c]);
        for (int r = 1; r <= rows; ++r)
            m_cell.setRowHeight(m_sheet, r, 26);
    }

    void put(int col, int row, const QString& text, int align = cell::AlignLeft | cell::AlignVCenter)
    {
        m_cell.SetCellString(col, row, m_sheet, text);
        m_cell.SetCellAlign(col, row, m_sheet, align);
    }
    void center(int col, int row, const QString& text)
    {
        put(col, row, text, cell::AlignHCenter | cell::AlignVCenter);
    }
    // Merges the block and writes its text into the top-left cell.
    void block(int c1, int r1, int c2, int r2, const QString& text, int align = cell::AlignLeft | cell::AlignVCenter)
    {
        if (c1 != c2 || r1 != r2)
            m_cell.MergeCells(c1, r1, c2, r2);
        put(c1, r1, text, align);
    }
    void label(int c1, int r1, int c2, int r2, const QString& text)
    {
        block(c1, r1, c2, r2, text, cell::AlignHCenter | cell::AlignVCenter);
        for (int c = c1; c <= c2; ++c)
            for (int r = r1; r <= r2; ++r)
                m_cell.SetCellBackColor(c, r, m_sheet, m_gray);
    }
    void bold(int col, int row, int size = 10)
    {
        m_cell.SetCellFontStyle(col, row, m_sheet, 2);
        m_cell.SetCellFontSize(col, row, m_sheet, size);
    }
    void wrap(int col, int row) { m_cell.SetCellTextStyle(col, row, m_sheet, 2); }
    void height(int row, int pixels) { m_cell.setRowHeight(m_sheet, row, pixels); }
    void grid(int c1, int r1, int c2, int r2)
    {
        m_cell.DrawLine(c1, r1, c2, r2, 0, 2, -1);
        m_cell.DrawLine(c1, r1, c2, r2, 1, 3, -1);
    }

    void save(const QString& path)
    {
        cell::PageSetup page;
        page.fitToWidth = true;
        page.marginLeft = page.marginRight = 15;
        page.marginTop = 18;
        m_cell.setPageSetup(m_sheet, page);
        if (m_cell.SaveFile(path, 0) != 1)
            throw QuelmarError(m_cell.errorString());
    }

private:
    CellControl m_cell;
    int m_sheet = 0;
    int m_gray = -1;
};

// Header fields placed in every form (field number -> cell).
void setPosition(FillPositions& p, int field, const QString& col, int row)
{
    p[size_t(field - 1)] = FillPosition{true, QString::number(row), col};
}

// Title, code and the header block (rows 1..6) shared by both kinds of record; returns the positions.
FillPositions drawHeader(FormDrawer& d, const SampleForm& f)
{
    FillPositions p;
    d.block(1, 1, kLastCol, 1, QString::fromUtf8(f.title), cell::AlignHCenter | cell::AlignVCenter);
    d.bold(1, 1, 16);
    d.height(1, 44);
    d.put(1, 2, QStringLiteral("执行标准："));
    d.block(3, 2, 8, 2, QString());
    d.block(10, 2, kLastCol, 2, QStringLiteral("编号：%1").arg(QString::fromUtf8(f.code)),
            cell::AlignRight | cell::AlignVCenter);
    setPosition(p, 7, QStringLiteral("C"), 2);

    struct HeaderRow {
        const char* left;
        int leftField;
        const char* right;
        int rightField;
    };
    const HeaderRow rows[] = {
        {"工程名称", 1, "施工单位", 10},
        {"监理单位", 2, "合同段", 0},
        {f.items.isEmpty() ? "工程部位" : "分项工程名称", 0, "桩号及部位", 0},
        {"项目经理", 3, "检验日期", 0},
    };
    int r = 3;
    for (const HeaderRow& h : rows) {
        d.label(1, r, 2, r, QString::fromUtf8(h.left));
        d.block(3, r, 6, r, QString());
        d.label(7, r, 8, r, QString::fromUtf8(h.right));
        d.block(9, r, kLastCol, r, QString());
        if (h.leftField)
            setPosition(p, h.leftField, QStringLiteral("C"), r);
        if (h.rightField)
            setPosition(p, h.rightField, QStringLiteral("I"), r);
        ++r;
    }
    if (!f.items.isEmpty())
        d.put(3, 5, QString::fromUtf8(f.name).remove(QStringLiteral("质量检验表")));
    d.put(9, 6, QStringLiteral("    年    月    日"));
    return p;
}

// The rows of opinions and the signature line below a table that ends at `row`; returns the last row.
int drawOpinions(FormDrawer& d, int row, const QStringList& captions, FillPositions& p)
{
    for (const QString& caption : captions) {
        d.label(1, row, 2, row, caption);
        d.wrap(1, row);
        d.block(3, row, kLastCol, row, QString(), cell::AlignLeft | cell::AlignTop);
        d.height(row, 46);
        ++row;
    }
    const int last = row;
    d.grid(1, 3, kLastCol, last - 1);
    d.height(last, 34);
    d.put(1, last, QStringLiteral("质检负责人："));
    d.put(5, last, QStringLiteral("技术负责人："));
    d.put(9, last, QStringLiteral("监理工程师："));
    d.block(11, last, kLastCol, last, QString());
    setPosition(p, 14, QStringLiteral("K"), last);
    return last;
}

FillPositions drawInspection(FormDrawer& d, const SampleForm& f)
{
    const int rows = 8 + int(f.items.size()) + 5;
    d.size(rows);
    FillPositions p = drawHeader(d, f);
    d.label(1, 7, 1, 8, QStringLiteral("项次"));
    d.label(2, 7, 2, 8, QStringLiteral("检查项目"));
    d.label(3, 7, 3, 8, QStringLiteral("规定值或允许偏差"));
    d.wrap(3, 7);
    d.label(4, 7, 3 + kMeasured, 7, QStringLiteral("实测值或实测偏差值"));
    for (int i = 1; i <= kMeasured; ++i)
        d.label(3 + i, 8, 3 + i, 8, QString::number(i));
    d.label(kLastCol, 7, kLastCol, 8, QStringLiteral("合格率(%)"));
    d.wrap(kLastCol, 7);
    int r = 9;
    int n = 1;
    for (const CheckItem& item : f.items) {
        d.center(1, r, QString::number(n++));
        d.put(2, r, QString::fromUtf8(item.item));
        d.wrap(2, r);
        d.center(3, r, QString::fromUtf8(item.spec));
        d.wrap(3, r);
        // Two lines for a requirement or an item too long for one.
        if (QString::fromUtf8(item.spec).size() > 10 || QString::fromUtf8(item.item).size() > 13)
            d.height(r, 38);
        ++r;
    }
    drawOpinions(d, r, {QStringLiteral("外观鉴定"), QStringLiteral("质量保证资料"), QStringLiteral("自检意见"),
                        QStringLiteral("监理意见")},
                 p);
    return p;
}

FillPositions drawRecord(FormDrawer& d, const SampleForm& f)
{
    const int rows = 6 + 2 + 6 + int(f.lines.size()) + 1;
    d.size(rows);
    FillPositions p = drawHeader(d, f);
    d.label(1, 7, 1, 7, QStringLiteral("序号"));
    d.label(2, 7, 3, 7, QStringLiteral("桩号及部位"));
    d.label(4, 7, 9, 7, QStringLiteral("内容"));
    d.label(10, 7, kLastCol, 7, QStringLiteral("备注"));
    for (int r = 8; r < 14; ++r) {
        d.center(1, r, QString::number(r - 7));
        d.block(2, r, 3, r, QString());
        d.block(4, r, 9, r, QString());
        d.block(10, r, kLastCol, r, QString());
    }
    QStringList captions;
    for (const char* line : f.lines)
        captions << QString::fromUtf8(line);
    drawOpinions(d, 14, captions, p);
    return p;
}

const QList<SampleForm>& roadbedForms()
{
    static const QList<SampleForm> forms{
        {"土方路基质量检验表", "土方路基质量检验表", "LJ-01",
         {{"压实度(%)", "符合设计要求 ≥96"},
          {"弯沉(0.01mm)", "不大于设计值"},
          {"纵断高程(mm)", "+10，-15"},
          {"中线偏位(mm)", "50"},
          {"宽度(mm)", "不小于设计值"},
          {"平整度(mm)", "15"},
          {"横坡(%)", "±0.3"},
          {"边坡", "满足设计要求"}},
         {}},
        {"石方路基质量检验表", "石方路基质量检验表", "LJ-02",
         {{"压实", "层厚和碾压遍数符合要求"},
          {"纵断高程(mm)", "+10，-20"},
          {"中线偏位(mm)", "50"},
          {"宽度(mm)", "不小于设计值"},
          {"平整度(mm)", "20"},
          {"横坡(%)", "±0.3"},
          {"边坡坡度和平顺度", "满足设计要求"}},
         {}},
        {"浆砌排水沟质量检验表", "浆砌排水沟质量检验表", "LJ-03",
         {{"砂浆强度(MPa)", "在合格标准内"},
          {"轴线偏位(mm)", "50"},
          {"沟底高程(mm)", "±15"},
          {"墙面直顺度或坡度(mm)", "30 或符合设计要求"},
          {"断面尺寸(mm)", "±30"},
          {"铺砌厚度(mm)", "不小于设计值"},
          {"基础垫层宽、厚(mm)", "不小于设计值"}},
         {}},
    };
    return forms;
}

const QList<SampleForm>& pavementForms()
{
    static const QList<SampleForm> forms{
        {"水泥混凝土面层质量检验表", "水泥混凝土面层质量检验表", "LM-01",
         {{"弯拉强度(MPa)", "在合格标准内"},
          {"板厚度(mm)", "代表值 -5，合格值 -10"},
          {"平整度 σ(mm)", "≤1.32"},
          {"抗滑构造深度(mm)", "0.7～1.1"},
          {"相邻板高差(mm)", "≤2"},
          {"纵、横缝顺直度(mm)", "≤10"},
          {"中线平面偏位(mm)", "20"},
          {"路面宽度(mm)", "±20"},
          {"纵断高程(mm)", "±10"},
          {"横坡(%)", "±0.15"}},
         {}},
        {"沥青混凝土面层质量检验表", "沥青混凝土面层质量检验表", "LM-02",
         {{"压实度(%)", "≥试验室标准密度的 98"},
          {"平整度 σ(mm)", "≤1.2"},
          {"弯沉值(0.01mm)", "不大于设计值"},
          {"渗水系数(mL/min)", "≤120"},
          {"厚度(mm)", "代表值 -5%H，合格值 -10%H"},
          {"中线平面偏位(mm)", "20"},
          {"纵断高程(mm)", "±15"},
          {"宽度(mm)", "±20"},
          {"横坡(%)", "±0.3"}},
         {}},
        {"水泥稳定碎石基层质量检验表", "水泥稳定碎石基层质量检验表", "LM-03",
         {{"压实度(%)", "代表值 ≥98，极值 ≥94"},
          {"平整度(mm)", "8"},
          {"纵断高程(mm)", "+5，-10"},
          {"宽度(mm)", "不小于设计值"},
          {"厚度(mm)", "代表值 -8，合格值 -15"},
          {"横坡(%)", "±0.3"},
          {"强度(MPa)", "符合设计要求"}},
         {}},
    };
    return forms;
}

const QList<SampleForm>& bridgeForms()
{
    static const QList<SampleForm> forms{
        {"钻孔灌注桩质量检验表", "钻孔灌注桩质量检验表", "QL-01",
         {{"混凝土强度(MPa)", "在合格标准内"},
          {"桩位(mm)", "群桩 100，排架桩 50"},
          {"孔深(m)", "不小于设计值"},
          {"孔径(mm)", "不小于设计值"},
          {"钻孔倾斜度(mm)", "1%S，且不大于 500"},
          {"沉淀厚度(mm)", "满足设计要求"},
          {"钢筋骨架底面高程(mm)", "±50"}},
         {}},
        {"墩、台身质量检验表", "墩、台身质量检验表", "QL-02",
         {{"混凝土强度(MPa)", "在合格标准内"},
          {"断面尺寸(mm)", "±20"},
          {"竖直度或斜度(mm)", "0.3%H，且不大于 20"},
          {"顶面高程(mm)", "±10"},
          {"轴线偏位(mm)", "10"},
          {"节段间错台(mm)", "5"},
          {"大面积平整度(mm)", "5"}},
         {}},
        {"钢筋加工及安装质量检验表", "钢筋加工及安装质量检验表", "QL-03",
         {{"受力钢筋间距(mm)", "两排以上 ±5，同排 ±10"},
          {"箍筋、横向水平钢筋间距(mm)", "0，-20"},
          {"钢筋骨架尺寸 长(mm)", "±10"},
          {"钢筋骨架尺寸 宽、高(mm)", "±5"},
          {"弯起钢筋位置(mm)", "±20"},
          {"保护层厚度(mm)", "柱、梁 ±5；板 ±3"}},
         {}},
        {"预制梁(板)质量检验表", "预制梁(板)质量检验表", "QL-04",
         {{"混凝土强度(MPa)", "在合格标准内"},
          {"梁(板)长度(mm)", "+5，-10"},
          {"宽度(mm)", "±5"},
          {"高度(mm)", "±5"},
          {"断面尺寸 顶板厚(mm)", "+5，0"},
          {"平整度(mm)", "5"},
          {"横系梁及预埋件位置(mm)", "5"}},
         {}},
    };
    return forms;
}

const QList<SampleForm>& commonForms()
{
    static const QList<SampleForm> forms{
        {"施工放样报验单", "施工放样报验单", "TY-01", {}, {"放样依据及方法", "承包人自检结果", "监理工程师审核意见"}},
        {"隐蔽工程验收记录", "隐蔽工程验收记录", "TY-02", {}, {"隐蔽内容", "检查情况", "验收意见"}},
    };
    return forms;
}

class SampleBuilder {
public:
    SampleBuilder(TDataPoolDM& dm, const AppPaths& paths)
        : m_dm(dm), m_paths(paths), m_data(Library::Moban),
          m_ops(NodeOpsContext{m_data, dm, paths, m_login, m_prompter})
    {
        m_data.load(dm, m_login.opName);
    }

    int build()
    {
        const QModelIndex root = m_data.tree.index(0, 0);
        const QModelIndex templ = create(9, root, SampleTemplateName());
        const QModelIndex common = create(10, templ, QStringLiteral("通用部分"));
        for (const SampleForm& f : commonForms())
            form(11, common, f);

        const QModelIndex roadbed = create(3, templ, QStringLiteral("路基工程"));
        const QModelIndex earth = create(4, roadbed, QStringLiteral("土石方工程"));
        form(5, earth, roadbedForms().at(0));
        form(5, earth, roadbedForms().at(1));
        const QModelIndex drain = create(4, roadbed, QStringLiteral("排水工程"));
        form(5, drain, roadbedForms().at(2));

        const QModelIndex pavement = create(3, templ, QStringLiteral("路面工程"));
        const QModelIndex surface = create(4, pavement, QStringLiteral("面层"));
        form(5, surface, pavementForms().at(0));
        form(5, surface, pavementForms().at(1));
        const QModelIndex base = create(4, pavement, QStringLiteral("基层"));
        form(5, base, pavementForms().at(2));

        const QModelIndex bridge = create(3, templ, QStringLiteral("桥梁工程"));
        const QModelIndex lower = create(4, bridge, QStringLiteral("下部结构"));
        form(5, lower, bridgeForms().at(0));
        form(5, lower, bridgeForms().at(1));
        const QModelIndex upper = create(4, bridge, QStringLiteral("上部结构"));
        form(5, upper, bridgeForms().at(2));
        form(5, upper, bridgeForms().at(3));

        addOptions();
        return m_data.tree.record(templ).ItemID;
    }

private:
    QModelIndex create(int typeId, const QModelIndex& parent, const QString& name)
    {
        const QModelIndex node = m_ops.CreateNode(typeId, parent, name);
        if (!node.isValid())
            throw QuelmarError(QStringLiteral("示例模板的节点“%1”未能建立。").arg(name));
        return node;
    }

    void form(int typeId, const QModelIndex& parent, const SampleForm& f)
    {
        const QModelIndex node = create(typeId, parent, QString::fromUtf8(f.name));
        const NodeRecord rec = m_data.tree.record(node);
        FormDrawer d;
        const FillPositions positions = f.items.isEmpty() ? drawRecord(d, f) : drawInspection(d, f);
        d.save(FileLayout::NodeFilePath(m_paths.MobanFolderPath(rec.iDir), rec.File_Name, rec.Ext));
        StoreFillPositions(m_dm, rec.FillMode, positions);
    }

    void addOptions()
    {
        OptionLists lists(m_dm);
        const QList<QPair<int, const char*>> entries{
            {2, "华通交通工程监理有限公司"},
            {2, "路达工程建设监理咨询中心"},
            {7, "JTG F80/1-2017 公路工程质量检验评定标准"},
            {7, "JTG/T 3610-2019 公路路基施工技术规范"},
            {7, "JTG/T F20-2015 公路路面基层施工技术细则"},
            {10, "东方路桥建设有限公司"},
            {10, "远通公路工程有限公司"},
            {12, "青山至白河高速公路建设指挥部"},
            {14, "王志远"},
            {14, "陈立新"},
        };
        for (const auto& [field, name] : entries)
            if (!lists.items(field).contains(QString::fromUtf8(name)))
                lists.add(field, QString::fromUtf8(name));
    }

    TDataPoolDM& m_dm;
    const AppPaths& m_paths;
    TLoginInfo m_login{QStringLiteral("Admin"), UserType::Advanced};
    ScriptedPrompter m_prompter;
    LibraryData m_data;
    NodeOps m_ops;
};

} // namespace

QString SampleTemplateName()
{
    return QStringLiteral("公路工程质量检验表格（示例）");
}

int AddSampleTemplate(TDataPoolDM& dm, const AppPaths& paths)
{
    return SampleBuilder(dm, paths).build();
}
