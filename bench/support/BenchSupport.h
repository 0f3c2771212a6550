#pragma once
// What several benchmarks build the same way: a form of the size of a real inspection record and a template of
// 1,000 items, 300 of them forms with table files.
#include <QElapsedTimer>
#include <QString>

class TDataPoolDM;
struct AppPaths;

namespace bench {

// Milliseconds since the timer started.
inline double Ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// A form of 12 columns by 30 rows of text with a merged title and a grid of borders.
void WriteForm(const QString& path);

struct TemplateShape {
    int folder = 1;          // the template's folder number
    int items = 1000;        // every node below the root, the root included
    int forms = 300;         // sub-items with a table file each
    int fillPositions = 1;   // header-fill positions of each form's record (1 or 2)
};

// A template under the template library's root, written through the data module (so on either engine): the root,
// 20 divisions of 5 data categories, 3 sub-items with files per category and empty sub-categories up to
// `shape.items`; the recycle bin after it. The template's ItemID is 2.
void BuildTemplate(TDataPoolDM& dm, const AppPaths& paths, const TemplateShape& shape = {});

// The rows a floor writes: `items` node rows (keys from `base`, ten to a parent) of which the first `forms` have a
// table file and a header-fill record, all in one SQLite transaction on its own connection to `dbPath`.
struct FloorRows {
    QString nodeTable = QStringLiteral("ZiLiao");          // or a package's "bs"
    QString fillTable = QStringLiteral("HeadingFillRange"); // or a package's "hi"
    int base = 100000;
    int items = 1000;
    int forms = 300;
    int fillPositions = 1;   // 1 or 2
    bool owned = false;      // with UserID 'Admin' (the project library's rows)
};
void InsertInOneTransaction(const QString& dbPath, const FloorRows& rows);

} // namespace bench
