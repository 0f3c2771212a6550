// The dependency graph and the calculation passes of the formula engine.
//
// Every formula cell is a node with the rectangles it reads (its precedents). Dependents are found through two
// indexes: small rectangles (up to 16 cells) are registered cell by cell in a hash; larger ones in per-column lists
// of row intervals. A change marks its dependents dirty in rounds (cell hash first, then the interval lists of the
// columns that received new dirty rows), so no cell is ever visited twice. The dirty cells are then calculated in
// dependency order by an iterative depth-first walk with an explicit stack: a chain of any length needs no
// recursion, and a back edge to a cell still on the stack is a circular reference, whose cells get
// ErrorValue::Circular.

#include "cell/formula/FormulaEngine.h"

#include "cell/formula/Ast.h"
#include "core/QuelmarError.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace cell::formula {

namespace {

constexpr qint64 SmallArea = 16;

quint64 posKey(int sheet, int col, int row)
{
    return (quint64(quint32(sheet)) << 32) | Sheet::key(col, row);
}

quint64 colKey(int sheet, int col)
{
    return (quint64(quint32(sheet)) << 16) | quint64(quint32(col));
}

struct Prec {
    int sheet;
    Range r;
    qint64 area() const { return qint64(r.width()) * r.height(); }
};

struct RangeDep {
    int id;
    int row1, row2;
};

struct ColIndex {
    std::vector<std::pair<int, int>> rows;   // (row, formula id)
    bool sorted = true;
    void sort()
    {
        if (!sorted) {
            std::sort(rows.begin(), rows.end());
            sorted = true;
        }
    }
};

int findSheet(const Workbook& wb, const QString& name)
{
    for (int i = 0; i < wb.sheets.size(); ++i)
        if (wb.sheets.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -2;
}

// Resolves sheet names of references to sheet indexes (and their spelling to the sheet's own) and collects the
// rectangles the formula reads; also tells whether it calls a volatile function.
void bindRefs(const Workbook& wb, Node& n, int ownSheet, std::vector<Prec>* precs, bool& isVolatile)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        if (n.sheetGiven) {
            n.sheet = findSheet(wb, n.text);
            if (n.sheet >= 0)
                n.text = wb.sheets.at(n.sheet).name;
        } else {
            n.sheet = -1;
        }
        if (precs && n.sheet != -2) {
            const int s = n.sheet == -1 ? ownSheet : n.sheet;
            const Range r = n.kind == Node::Ref ? Range{n.a.col, n.a.row, n.a.col, n.a.row}
                                                : Range{n.a.col, n.a.row, n.b.col, n.b.row};
            precs->push_back(Prec{s, r});
        }
        return;
    }
    if (n.kind == Node::Func && n.fn && n.fn->isVolatile)
        isVolatile = true;
    for (auto& k : n.kids)
        bindRefs(wb, *k, ownSheet, precs, isVolatile);
}

// ---- reference moves ----------------------------------------------------------------------------------------------

void makeRefError(Node& n)
{
    n.kind = Node::Err;
    n.err = ErrorValue::Ref;
    n.sheetGiven = false;
    n.text.clear();
}

// Shifts one coordinate interval [lo, hi] for an insertion (count > 0) or deletion (count < 0) at `at`.
// Returns false when the interval vanished or fell off the sheet.
bool shiftInterval(int& lo, int& hi, bool single, int at, int count, int limit)
{
    if (count > 0) {
        if (lo >= at)
            lo += count;
        if (hi >= at)
            hi += count;
        if (lo > limit)
            return false;
        if (hi > limit) {
            if (single)
                return false;
            hi = limit;
        }
        return true;
    }
    const int k = -count;
    const int last = at + k - 1;
    if (lo >= at && hi <= last)
        return false;
    const int nlo = lo < at ? lo : (lo > last ? lo - k : at);
    const int nhi = hi < at ? hi : (hi > last ? hi - k : at - 1);
    if (nhi < nlo)
        return false;
    lo = nlo;
    hi = nhi;
    return true;
}

struct MoveSpec {
    QString sheetName;   // the sheet whose rows/columns moved
    int sheetIndex;
    bool rows;           // rows or columns
    int at, count;       // count < 0: deletion
};

void applyMove(Node& n, int ownSheet, const MoveSpec& m)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        const bool target = n.sheetGiven ? n.text.compare(m.sheetName, Qt::CaseInsensitive) == 0
                                         : ownSheet == m.sheetIndex;
        if (!target || (n.whole == 1 && m.rows) || (n.whole == 2 && !m.rows))
            return;   // whole columns do not change when rows move, whole rows not when columns move
        const bool single = n.kind == Node::Ref;
        int& lo = m.rows ? n.a.row : n.a.col;
        int hiStore = single ? lo : (m.rows ? n.b.row : n.b.col);
        int loCopy = lo;
        if (!shiftInterval(loCopy, hiStore, single, m.at, m.count, m.rows ? MaxRows : MaxCols)) {
            makeRefError(n);
            return;
        }
        lo = loCopy;
        if (!single)
            (m.rows ? n.b.row : n.b.col) = hiStore;
        return;
    }
    for (auto& k : n.kids)
        applyMove(*k, ownSheet, m);
}

void applyTranslate(Node& n, int dCol, int dRow)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        auto move = [&](RefPart& p) {
            if (!p.absCol && n.whole != 2)
                p.col += dCol;
            if (!p.absRow && n.whole != 1)
                p.row += dRow;
            return p.col >= 1 && p.col <= MaxCols && p.row >= 1 && p.row <= MaxRows;
        };
        bool ok = move(n.a);
        if (n.kind == Node::Area) {
            ok = move(n.b) && ok;
            if (n.b.col < n.a.col) {
                std::swap(n.a.col, n.b.col);
                std::swap(n.a.absCol, n.b.absCol);
            }
            if (n.b.row < n.a.row) {
                std::swap(n.a.row, n.b.row);
                std::swap(n.a.absRow, n.b.absRow);
            }
        }
        if (!ok)
            makeRefError(n);
        return;
    }
    for (auto& k : n.kids)
        applyTranslate(*k, dCol, dRow);
}

// A block of cells cut and pasted elsewhere (a move): `from` on sheet `fromSheet` now stands dCol / dRow away on
// `toSheet`, where only `landed` (the moved rectangle within the target sheet's size) received cells.
struct BlockMove {
    int fromSheet;
    Range from;
    int toSheet;
    int dCol, dRow;
    Range landed;
};

// One reference under a block move. `formulaSheet` is where the formula stands now, `originSheet` where it stood
// before the move (they differ for a formula carried to another sheet). A reference wholly inside the moved block
// follows it; one wholly inside the cells the block landed on (that were not part of it) lost its cells: #REF!;
// anything else keeps its cells, and gains a sheet name when the formula now stands on another sheet than they.
void applyBlockMove(const Workbook& wb, Node& n, int formulaSheet, int originSheet, const BlockMove& m)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        if (n.whole != 0)
            return;   // whole columns or rows are never inside a block of a sheet
        const int refSheet = n.sheetGiven ? findSheet(wb, n.text) : originSheet;
        if (refSheet < 0)
            return;
        const RefPart& b = n.kind == Node::Area ? n.b : n.a;
        const Range r{qMin(n.a.col, b.col), qMin(n.a.row, b.row), qMax(n.a.col, b.col), qMax(n.a.row, b.row)};
        auto inside = [](const Range& outer, const Range& inner) {
            return inner.col1 >= outer.col1 && inner.col2 <= outer.col2 && inner.row1 >= outer.row1
                && inner.row2 <= outer.row2;
        };
        int nowSheet = refSheet;
        if (refSheet == m.fromSheet && inside(m.from, r)) {
            const Range moved{r.col1 + m.dCol, r.row1 + m.dRow, r.col2 + m.dCol, r.row2 + m.dRow};
            if (!inside(m.landed, moved)) {   // its cells fell off the sheet
                makeRefError(n);
                return;
            }
            n.a.col += m.dCol;
            n.a.row += m.dRow;
            if (n.kind == Node::Area) {
                n.b.col += m.dCol;
                n.b.row += m.dRow;
            }
            nowSheet = m.toSheet;
        } else if (refSheet == m.toSheet && inside(m.landed, r)) {
            makeRefError(n);   // its cells were overwritten by the block
            return;
        }
        if (n.sheetGiven || nowSheet != formulaSheet) {
            n.sheetGiven = true;
            n.text = wb.sheets.at(nowSheet).name;
        }
        return;
    }
    for (auto& k : n.kids)
        applyBlockMove(wb, *k, formulaSheet, originSheet, m);
}

// Rewrites sheet names: renamed (newName non-empty) or removed (references become #REF!).
void applySheetChange(Node& n, const QString& oldName, const QString& newName)
{
    if ((n.kind == Node::Ref || n.kind == Node::Area) && n.sheetGiven
        && n.text.compare(oldName, Qt::CaseInsensitive) == 0) {
        if (newName.isEmpty())
            makeRefError(n);
        else
            n.text = newName;
        return;
    }
    for (auto& k : n.kids)
        applySheetChange(*k, oldName, newName);
}

} // namespace

struct FormulaEngine::Impl {
    Workbook& wb;
    explicit Impl(Workbook& w) : wb(w) {}

    struct FCell {
        int sheet = -1, col = 0, row = 0;
        NodePtr ast;            // null: the stored text does not parse (#NAME?)
        QString text;           // the text the node was made from (as stored in the cell)
        std::vector<Prec> precs;
        bool isVolatile = false;
        bool alive = false;
    };

    std::vector<FCell> cells;
    std::vector<int> freeIds;
    QHash<quint64, int> byPos;
    QHash<quint64, std::vector<int>> singleDeps;
    QHash<quint64, std::vector<RangeDep>> rangeDeps;
    QHash<quint64, ColIndex> colFormulas;
    QSet<int> volatileIds;

    // scratch of a calculation pass
    quint32 epoch = 0;
    std::vector<quint32> dirtyMark, doneMark;
    std::vector<int> stackPos;
    std::vector<char> circular;
    std::vector<int> dirtyList;

    // ---- graph upkeep ----

    void clear()
    {
        cells.clear();
        freeIds.clear();
        byPos.clear();
        singleDeps.clear();
        rangeDeps.clear();
        colFormulas.clear();
        volatileIds.clear();
        dirtyMark.clear();
        doneMark.clear();
        stackPos.clear();
        circular.clear();
    }

    int allocate()
    {
        if (!freeIds.empty()) {
            const int id = freeIds.back();
            freeIds.pop_back();
            return id;
        }
        cells.emplace_back();
        dirtyMark.push_back(0);
        doneMark.push_back(0);
        stackPos.push_back(-1);
        circular.push_back(0);
        return int(cells.size()) - 1;
    }

    void install(int sheet, int col, int row, NodePtr ast, const QString& text, std::vector<Prec> precs,
                 bool isVolatile)
    {
        const quint64 pk = posKey(sheet, col, row);
        if (auto it = byPos.constFind(pk); it != byPos.constEnd())
            uninstall(it.value());
        const int id = allocate();
        FCell& f = cells[size_t(id)];
        f.sheet = sheet;
        f.col = col;
        f.row = row;
        f.ast = std::move(ast);
        f.text = text;
        f.precs = std::move(precs);
        f.isVolatile = isVolatile;
        f.alive = true;
        byPos.insert(pk, id);
        ColIndex& ci = colFormulas[colKey(sheet, col)];
        ci.rows.emplace_back(row, id);
        ci.sorted = false;
        if (isVolatile)
            volatileIds.insert(id);
        for (const Prec& p : f.precs) {
            if (p.area() <= SmallArea) {
                for (int r = p.r.row1; r <= p.r.row2; ++r)
                    for (int c = p.r.col1; c <= p.r.col2; ++c)
                        singleDeps[posKey(p.sheet, c, r)].push_back(id);
            } else {
                for (int c = p.r.col1; c <= p.r.col2; ++c)
                    rangeDeps[colKey(p.sheet, c)].push_back(RangeDep{id, p.r.row1, p.r.row2});
            }
        }
    }

    void uninstall(int id)
    {
        FCell& f = cells[size_t(id)];
        if (!f.alive)
            return;
        byPos.remove(posKey(f.sheet, f.col, f.row));
        auto ci = colFormulas.find(colKey(f.sheet, f.col));
        if (ci != colFormulas.end()) {
            auto& v = ci->rows;
            v.erase(std::remove(v.begin(), v.end(), std::make_pair(f.row, id)), v.end());
        }
        volatileIds.remove(id);
        for (const Prec& p : f.precs) {
            if (p.area() <= SmallArea) {
                for (int r = p.r.row1; r <= p.r.row2; ++r)
                    for (int c = p.r.col1; c <= p.r.col2; ++c) {
                        auto it = singleDeps.find(posKey(p.sheet, c, r));
                        if (it == singleDeps.end())
                            continue;
                        auto pos = std::find(it->begin(), it->end(), id);
                        if (pos != it->end()) {
                            *pos = it->back();
                            it->pop_back();
                        }
                        if (it->empty())
                            singleDeps.erase(it);
                    }
            } else {
                for (int c = p.r.col1; c <= p.r.col2; ++c) {
                    auto it = rangeDeps.find(colKey(p.sheet, c));
                    if (it == rangeDeps.end())
                        continue;
                    auto pos = std::find_if(it->begin(), it->end(), [&](const RangeDep& d) {
                        return d.id == id && d.row1 == p.r.row1 && d.row2 == p.r.row2;
                    });
                    if (pos != it->end()) {
                        *pos = it->back();
                        it->pop_back();
                    }
                }
            }
        }
        f = FCell{};
        freeIds.push_back(id);
    }

    // Makes the node for a cell's formula text. Returns the text to store (normalised when it parses).
    QString installText(int sheet, int col, int row, const QString& text)
    {
        NodePtr ast;
        std::vector<Prec> precs;
        bool vol = false;
        QString stored = text;
        try {
            ast = parseFormula(text);
            bindRefs(wb, *ast, sheet, &precs, vol);
            stored = printFormula(*ast);
        } catch (const QuelmarError&) {
            ast.reset();
            precs.clear();
        }
        install(sheet, col, row, std::move(ast), stored, std::move(precs), vol);
        return stored;
    }

    // ---- calculation ----

    void markDirty(int id, std::vector<quint64>& queue)
    {
        if (dirtyMark[size_t(id)] == epoch)
            return;
        dirtyMark[size_t(id)] = epoch;
        dirtyList.push_back(id);
        const FCell& f = cells[size_t(id)];
        queue.push_back(posKey(f.sheet, f.col, f.row));
    }

    void beginPass()
    {
        ++epoch;
        if (epoch == 0) {   // wrapped: forget old marks
            std::fill(dirtyMark.begin(), dirtyMark.end(), 0);
            std::fill(doneMark.begin(), doneMark.end(), 0);
            epoch = 1;
        }
        dirtyList.clear();
    }

    // Marks dirty everything that depends on the given cells / rectangles (and the volatile formulas), then
    // calculates. `formulaSeeds` are formula cells to recalculate themselves.
    void recalcFrom(const std::vector<int>& formulaSeeds, const std::vector<std::pair<int, Range>>& areaSeeds)
    {
        beginPass();
        std::vector<quint64> queue;
        for (int id : formulaSeeds)
            markDirty(id, queue);
        for (int id : volatileIds)
            markDirty(id, queue);
        for (const auto& [sheet, r] : areaSeeds) {
            if (qint64(r.width()) * r.height() <= 1024) {
                for (int row = r.row1; row <= r.row2; ++row)
                    for (int col = r.col1; col <= r.col2; ++col)
                        queue.push_back(posKey(sheet, col, row));
            } else {
                for (size_t id = 0; id < cells.size(); ++id) {
                    const FCell& f = cells[id];
                    if (!f.alive)
                        continue;
                    for (const Prec& p : f.precs)
                        if (p.sheet == sheet && p.r.intersects(r)) {
                            markDirty(int(id), queue);
                            break;
                        }
                }
            }
        }
        QHash<quint64, std::vector<int>> roundRows;
        while (!queue.empty()) {
            while (!queue.empty()) {
                const quint64 pk = queue.back();
                queue.pop_back();
                if (auto it = singleDeps.constFind(pk); it != singleDeps.constEnd())
                    for (int id : it.value())
                        markDirty(id, queue);
                const int sheet = int(pk >> 32);
                const quint32 k = quint32(pk & 0xffffffffu);
                const quint64 ck = colKey(sheet, Sheet::keyCol(k));
                if (rangeDeps.contains(ck))
                    roundRows[ck].push_back(Sheet::keyRow(k));
            }
            for (auto it = roundRows.begin(); it != roundRows.end(); ++it) {
                std::vector<int>& rows = it.value();
                std::sort(rows.begin(), rows.end());
                const auto bucket = rangeDeps.constFind(it.key());
                if (bucket == rangeDeps.constEnd())
                    continue;
                for (const RangeDep& d : bucket.value()) {
                    if (dirtyMark[size_t(d.id)] == epoch)
                        continue;
                    auto lb = std::lower_bound(rows.begin(), rows.end(), d.row1);
                    if (lb != rows.end() && *lb <= d.row2)
                        markDirty(d.id, queue);
                }
            }
            roundRows.clear();
        }
        calculateDirty();
    }

    void recalcAll()
    {
        beginPass();
        for (size_t id = 0; id < cells.size(); ++id)
            if (cells[id].alive) {
                dirtyMark[id] = epoch;
                dirtyList.push_back(int(id));
            }
        calculateDirty();
    }

    bool pending(int id) const { return dirtyMark[size_t(id)] == epoch && doneMark[size_t(id)] != epoch; }

    // The dirty, not yet calculated formula cells in a rectangle.
    void collectPending(const Prec& p, std::vector<int>& out)
    {
        if (p.area() <= SmallArea) {
            for (int r = p.r.row1; r <= p.r.row2; ++r)
                for (int c = p.r.col1; c <= p.r.col2; ++c) {
                    auto it = byPos.constFind(posKey(p.sheet, c, r));
                    if (it != byPos.constEnd() && pending(it.value()))
                        out.push_back(it.value());
                }
            return;
        }
        for (int c = p.r.col1; c <= p.r.col2; ++c) {
            auto it = colFormulas.find(colKey(p.sheet, c));
            if (it == colFormulas.end() || it->rows.empty())
                continue;
            it->sort();
            auto lb = std::lower_bound(it->rows.begin(), it->rows.end(), std::make_pair(p.r.row1, -1));
            for (; lb != it->rows.end() && lb->first <= p.r.row2; ++lb)
                if (pending(lb->second))
                    out.push_back(lb->second);
        }
    }

    // The dirty, not yet calculated formula cells that `id` reads.
    void collectChildren(int id, std::vector<int>& out)
    {
        for (const Prec& p : cells[size_t(id)].precs)
            collectPending(p, out);
    }

    // Calculates one formula into its cell. `later` receives the not yet calculated cells it reached through
    // INDIRECT / OFFSET: the caller calculates those and then this formula again.
    void evaluateCell(int id, std::vector<int>& later)
    {
        const FCell& f = cells[size_t(id)];
        if (f.sheet < 0 || f.sheet >= wb.sheets.size())
            return;
        Value v;
        if (circular[size_t(id)]) {
            v = ErrorValue::Circular;
        } else if (!f.ast) {
            v = ErrorValue::Name;
        } else {
            std::vector<std::pair<int, Range>> dynamic;
            Ctx ctx{wb, f.sheet, f.col, f.row};
            ctx.dynamicRefs = &dynamic;
            v = evalToCell(ctx, *f.ast);
            for (const auto& [sheet, r] : dynamic)
                collectPending(Prec{sheet, r}, later);
        }
        Sheet& sh = wb.sheets[f.sheet];
        auto it = sh.cells.find(Sheet::key(f.col, f.row));
        if (it != sh.cells.end())
            it->value = std::move(v);
    }

    void calculateDirty()
    {
        struct Frame {
            int id;
            size_t cur, end, begin;
            int rounds;
        };
        std::vector<Frame> frames;
        std::vector<int> buf;
        std::vector<int> kids, later;
        auto push = [&](int id) {
            stackPos[size_t(id)] = int(frames.size());
            circular[size_t(id)] = 0;
            kids.clear();
            collectChildren(id, kids);
            const size_t b = buf.size();
            buf.insert(buf.end(), kids.begin(), kids.end());
            frames.push_back(Frame{id, b, buf.size(), b, 0});
        };
        for (int root : dirtyList) {
            if (doneMark[size_t(root)] == epoch)
                continue;
            push(root);
            while (!frames.empty()) {
                Frame& fr = frames.back();
                if (fr.cur < fr.end) {
                    const int c = buf[fr.cur++];
                    if (doneMark[size_t(c)] == epoch)
                        continue;
                    if (stackPos[size_t(c)] >= 0) {
                        // a circular reference: every cell from c up the stack is part of it
                        for (size_t k = size_t(stackPos[size_t(c)]); k < frames.size(); ++k)
                            circular[size_t(frames[k].id)] = 1;
                        continue;
                    }
                    push(c);
                    continue;
                }
                const int id = fr.id;
                later.clear();
                evaluateCell(id, later);
                if (!later.empty() && fr.rounds < 16) {
                    // cells reached through INDIRECT / OFFSET come first; then this formula once more. The frame
                    // is on top, so its children are the end of `buf`.
                    ++fr.rounds;
                    fr.cur = buf.size();
                    buf.insert(buf.end(), later.begin(), later.end());
                    fr.end = buf.size();
                    continue;
                }
                const size_t b = fr.begin;
                frames.pop_back();
                buf.resize(b);
                stackPos[size_t(id)] = -1;
                doneMark[size_t(id)] = epoch;
            }
        }
    }

    // ---- rewriting of formula texts ----

    // Rewrites every formula text of the workbook with `change`, builds the graph afresh from the rewritten trees
    // and recalculates everything. Returns the texts that changed.
    template <class F>
    QVector<FormulaEdit> rewriteAndRebuild(F&& change)
    {
        clear();
        QVector<FormulaEdit> edits;
        for (int s = 0; s < wb.sheets.size(); ++s) {
            Sheet& sh = wb.sheets[s];
            for (auto it = sh.cells.begin(); it != sh.cells.end(); ++it) {
                if (it->formula.isEmpty())
                    continue;
                const int col = Sheet::keyCol(it.key()), row = Sheet::keyRow(it.key());
                NodePtr ast;
                try {
                    ast = parseFormula(it->formula);
                } catch (const QuelmarError&) {
                    install(s, col, row, nullptr, it->formula, {}, false);   // kept as it is; it shows #NAME?
                    continue;
                }
                change(*ast, s, col, row);
                std::vector<Prec> precs;
                bool vol = false;
                bindRefs(wb, *ast, s, &precs, vol);
                const QString text = printFormula(*ast);
                if (text != it->formula) {
                    edits.push_back(FormulaEdit{s, col, row, it->formula, text});
                    it->formula = text;
                }
                install(s, col, row, std::move(ast), text, std::move(precs), vol);
            }
        }
        recalcAll();
        return edits;
    }

    QVector<FormulaEdit> move(int sheet, bool rows, int at, int count)
    {
        if (sheet < 0 || sheet >= wb.sheets.size() || count == 0)
            return {};
        const MoveSpec m{wb.sheets.at(sheet).name, sheet, rows, at, count};
        return rewriteAndRebuild([&](Node& n, int own, int, int) { applyMove(n, own, m); });
    }

    void rebuildAll()
    {
        clear();
        for (int s = 0; s < wb.sheets.size(); ++s) {
            Sheet& sh = wb.sheets[s];
            for (auto it = sh.cells.begin(); it != sh.cells.end(); ++it) {
                if (it->formula.isEmpty())
                    continue;
                const QString stored = installText(s, Sheet::keyCol(it.key()), Sheet::keyRow(it.key()), it->formula);
                if (stored != it->formula)
                    it->formula = stored;
            }
        }
        recalcAll();
    }

    void checkCell(int sheet, int col, int row) const
    {
        if (sheet < 0 || sheet >= wb.sheets.size() || col < 1 || col > MaxCols || row < 1 || row > MaxRows)
            throw QuelmarError(QStringLiteral("单元格位置无效（第 %1 页，第 %2 列，第 %3 行）")
                                   .arg(sheet + 1)
                                   .arg(col)
                                   .arg(row));
    }

    // Brings the node of one cell in line with the cell's formula text; returns the formula id to recalculate
    // (or -1).
    int syncCell(int sheet, int col, int row)
    {
        const quint64 pk = posKey(sheet, col, row);
        const int existing = byPos.value(pk, -1);
        Sheet& sh = wb.sheets[sheet];
        auto it = sh.cells.find(Sheet::key(col, row));
        const QString text = it == sh.cells.end() ? QString() : it->formula;
        if (text.isEmpty()) {
            if (existing >= 0)
                uninstall(existing);
            return -1;
        }
        if (existing >= 0 && cells[size_t(existing)].text == text)
            return existing;
        const QString stored = installText(sheet, col, row, text);
        if (stored != text)
            it->formula = stored;
        return byPos.value(pk, -1);
    }
};

FormulaEngine::FormulaEngine(Workbook& workbook) : m_wb(workbook), d(std::make_unique<Impl>(workbook)) {}

FormulaEngine::~FormulaEngine() = default;

QString FormulaEngine::normalize(const QString& text)
{
    return printFormula(*parseFormula(text));
}

void FormulaEngine::setFormula(int sheet, int col, int row, const QString& text)
{
    d->checkCell(sheet, col, row);
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('=')))
        t = t.mid(1).trimmed();
    if (t.isEmpty()) {
        removeFormula(sheet, col, row);
        return;
    }
    NodePtr ast = parseFormula(t);   // throws before anything changes
    std::vector<Prec> precs;
    bool vol = false;
    bindRefs(m_wb, *ast, sheet, &precs, vol);
    const QString stored = printFormula(*ast);
    m_wb.sheets[sheet].cellRef(col, row).formula = stored;
    d->install(sheet, col, row, std::move(ast), stored, std::move(precs), vol);
    d->recalcFrom({d->byPos.value(posKey(sheet, col, row))}, {{sheet, Range{col, row, col, row}}});
}

void FormulaEngine::removeFormula(int sheet, int col, int row)
{
    d->checkCell(sheet, col, row);
    Sheet& sh = m_wb.sheets[sheet];
    auto it = sh.cells.find(Sheet::key(col, row));
    if (it != sh.cells.end())
        it->formula.clear();
    const int id = d->byPos.value(posKey(sheet, col, row), -1);
    if (id >= 0)
        d->uninstall(id);
    d->recalcFrom({}, {{sheet, Range{col, row, col, row}}});
}

void FormulaEngine::cellChanged(int sheet, int col, int row)
{
    d->checkCell(sheet, col, row);
    const int id = d->syncCell(sheet, col, row);
    std::vector<int> seeds;
    if (id >= 0)
        seeds.push_back(id);
    d->recalcFrom(seeds, {{sheet, Range{col, row, col, row}}});
}

void FormulaEngine::rangeChanged(int sheet, const Range& range)
{
    if (range.isEmpty())
        return;
    d->checkCell(sheet, range.col1, range.row1);
    d->checkCell(sheet, range.col2, range.row2);
    std::vector<int> seeds;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const qint64 area = qint64(range.width()) * range.height();
    // positions that have (or had) a formula: the cells of the range with formula text, and the engine's nodes there
    QSet<quint32> positions;
    if (area <= sh.cells.size()) {
        for (int r = range.row1; r <= range.row2; ++r)
            for (int c = range.col1; c <= range.col2; ++c) {
                const Cell* cell = sh.cellAt(c, r);
                if ((cell && !cell->formula.isEmpty()) || d->byPos.contains(posKey(sheet, c, r)))
                    positions.insert(Sheet::key(c, r));
            }
    } else {
        for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it)
            if (!it->formula.isEmpty() && range.contains(Sheet::keyCol(it.key()), Sheet::keyRow(it.key())))
                positions.insert(it.key());
        for (auto it = d->byPos.cbegin(); it != d->byPos.cend(); ++it) {
            const auto& f = d->cells[size_t(it.value())];
            if (f.sheet == sheet && range.contains(f.col, f.row))
                positions.insert(Sheet::key(f.col, f.row));
        }
    }
    for (quint32 k : positions) {
        const int id = d->syncCell(sheet, Sheet::keyCol(k), Sheet::keyRow(k));
        if (id >= 0)
            seeds.push_back(id);
    }
    d->recalcFrom(seeds, {{sheet, range}});
}

void FormulaEngine::recalculateAll()
{
    d->recalcAll();
}

void FormulaEngine::rebuild()
{
    d->rebuildAll();
}

QVector<FormulaEdit> FormulaEngine::insertRows(int sheet, int at, int count)
{
    return d->move(sheet, true, at, count);
}

QVector<FormulaEdit> FormulaEngine::deleteRows(int sheet, int at, int count)
{
    return d->move(sheet, true, at, -count);
}

QVector<FormulaEdit> FormulaEngine::insertCols(int sheet, int at, int count)
{
    return d->move(sheet, false, at, count);
}

QVector<FormulaEdit> FormulaEngine::deleteCols(int sheet, int at, int count)
{
    return d->move(sheet, false, at, -count);
}

QVector<FormulaEdit> FormulaEngine::sheetRenamed(const QString& oldName, const QString& newName)
{
    return d->rewriteAndRebuild([&](Node& n, int, int, int) { applySheetChange(n, oldName, newName); });
}

QVector<FormulaEdit> FormulaEngine::sheetRemoved(const QString& name)
{
    return d->rewriteAndRebuild([&](Node& n, int, int, int) { applySheetChange(n, name, QString()); });
}

QVector<FormulaEdit> FormulaEngine::moveRange(int sheet, const Range& from, int toSheet, int toCol, int toRow)
{
    if (sheet < 0 || sheet >= m_wb.sheets.size() || toSheet < 0 || toSheet >= m_wb.sheets.size() || from.isEmpty())
        return {};
    const Sheet& target = m_wb.sheets.at(toSheet);
    const int dCol = toCol - from.col1, dRow = toRow - from.row1;
    if (sheet == toSheet && dCol == 0 && dRow == 0)
        return {};
    const Range placed{toCol, toRow, from.col2 + dCol, from.row2 + dRow};
    const Range landed{qMax(placed.col1, 1), qMax(placed.row1, 1), qMin(placed.col2, target.cols - 1),
                       qMin(placed.row2, target.rows - 1)};
    const BlockMove m{sheet, from, toSheet, dCol, dRow, landed};
    return d->rewriteAndRebuild([&](Node& n, int s, int col, int row) {
        const int origin = s == toSheet && landed.contains(col, row) ? sheet : s;
        applyBlockMove(m_wb, n, s, origin, m);
    });
}

QString FormulaEngine::translateFormula(const QString& text, int dCol, int dRow)
{
    const QString t = text.trimmed();
    const bool eq = t.startsWith(QLatin1Char('='));
    NodePtr ast;
    try {
        ast = parseFormula(t);
    } catch (const QuelmarError&) {
        return text;
    }
    applyTranslate(*ast, dCol, dRow);
    return (eq ? QStringLiteral("=") : QString()) + printFormula(*ast);
}

namespace {

// References of the formula's own sheet wholly inside `block` turn with it (rows become columns, the block's
// top-left lands on (toCol, toRow)); everything else keeps its cells.
void applyTranspose(Node& n, const Range& block, int toCol, int toRow)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        if (n.whole != 0 || n.sheetGiven)
            return;
        const RefPart& b = n.kind == Node::Area ? n.b : n.a;
        const Range r{qMin(n.a.col, b.col), qMin(n.a.row, b.row), qMax(n.a.col, b.col), qMax(n.a.row, b.row)};
        if (r.col1 < block.col1 || r.col2 > block.col2 || r.row1 < block.row1 || r.row2 > block.row2)
            return;
        auto turn = [&](RefPart& p) {
            const RefPart o = p;
            p.col = toCol + (o.row - block.row1);
            p.row = toRow + (o.col - block.col1);
            p.absCol = o.absRow;
            p.absRow = o.absCol;
        };
        turn(n.a);
        if (n.kind == Node::Area)
            turn(n.b);
        return;
    }
    for (auto& k : n.kids)
        applyTranspose(*k, block, toCol, toRow);
}

// A formula outside a transposed block: a reference to one of the block's cells follows that cell; a range wholly
// inside the block turns with it (its corners go where their cells went); a range only partly inside keeps its
// cells, as a spreadsheet keeps such a range when a block moves; whole rows and columns stay. `$` marks stay where
// they are: the formula itself did not move.
void applyFollowTranspose(Node& n, bool ownSheetIsBlocks, const QString& blockSheet, const Range& block, int toCol,
                          int toRow)
{
    if (n.kind == Node::Ref || n.kind == Node::Area) {
        if (n.whole != 0)
            return;
        if (n.sheetGiven ? n.text.compare(blockSheet, Qt::CaseInsensitive) != 0 : !ownSheetIsBlocks)
            return;
        const RefPart& b = n.kind == Node::Area ? n.b : n.a;
        const Range r{qMin(n.a.col, b.col), qMin(n.a.row, b.row), qMax(n.a.col, b.col), qMax(n.a.row, b.row)};
        if (r.col1 < block.col1 || r.col2 > block.col2 || r.row1 < block.row1 || r.row2 > block.row2)
            return;
        const auto follow = [&](RefPart& p) {
            const RefPart o = p;
            p.col = toCol + (o.row - block.row1);
            p.row = toRow + (o.col - block.col1);
        };
        follow(n.a);
        if (n.kind == Node::Area)
            follow(n.b);
        return;
    }
    for (auto& k : n.kids)
        applyFollowTranspose(*k, ownSheetIsBlocks, blockSheet, block, toCol, toRow);
}

} // namespace

namespace {

bool allKnown(const Node& n)
{
    if ((n.kind == Node::Func && !n.fn) || n.kind == Node::Name)
        return false;
    for (const auto& k : n.kids)
        if (!allKnown(*k))
            return false;
    return true;
}

} // namespace

bool FormulaEngine::knowsFormula(const QString& text, QString* normalized)
{
    try {
        const NodePtr ast = parseFormula(text);
        if (!allKnown(*ast))
            return false;
        if (normalized)
            *normalized = printFormula(*ast);
        return true;
    } catch (const QuelmarError&) {
        return false;
    }
}

QString FormulaEngine::transposeFormula(const QString& text, const Range& block, int toCol, int toRow)
{
    NodePtr ast;
    try {
        ast = parseFormula(text);
    } catch (const QuelmarError&) {
        return text;
    }
    applyTranspose(*ast, block, toCol, toRow);
    return printFormula(*ast);
}

QString FormulaEngine::followTranspose(const QString& text, bool onBlockSheet, const QString& blockSheet,
                                       const Range& block, int toCol, int toRow)
{
    NodePtr ast;
    try {
        ast = parseFormula(text);
    } catch (const QuelmarError&) {
        return text;
    }
    applyFollowTranspose(*ast, onBlockSheet, blockSheet, block, toCol, toRow);
    return printFormula(*ast);
}

Value FormulaEngine::evaluate(const QString& text, int sheet, int col, int row)
{
    NodePtr ast;
    try {
        ast = parseFormula(text);
    } catch (const QuelmarError&) {
        return ErrorValue::Name;
    }
    bool vol = false;
    bindRefs(m_wb, *ast, sheet, nullptr, vol);
    Ctx ctx{m_wb, sheet, col, row};
    return evalToCell(ctx, *ast);
}

int FormulaEngine::formulaCount() const
{
    return int(d->byPos.size());
}

} // namespace cell::formula
