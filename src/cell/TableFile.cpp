#include "cell/TableFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cell {

namespace {

constexpr char Magic[8] = {'Q', 'L', 'M', 'R', 'C', 'E', 'L', 'L'};
constexpr int SaltSize = 16;
constexpr int HashSize = 32;
constexpr int CheckOffset = 8 + 2 + 2 + SaltSize + HashSize + 4 + 4;                 // 68
constexpr int HeaderSize = CheckOffset + 4 + HashSize;                              // 104
constexpr int MacOffset = HeaderSize - HashSize;
constexpr quint32 PayloadEnd = 0x454e4421;   // "END!": the parser must land exactly here
constexpr quint32 ExtensionTag = 0x45585432; // "EXT2": charts and cell rules follow (format version 2)
constexpr quint32 MaxPayload = 512u * 1024 * 1024;
constexpr int KeyRounds = 2000;

QByteArray deriveKey(const QByteArray& salt, const QString& password)
{
    QByteArray key = QCryptographicHash::hash(salt + password.toUtf8(), QCryptographicHash::Sha256);
    for (int i = 0; i < KeyRounds; ++i)
        key = QCryptographicHash::hash(key + salt, QCryptographicHash::Sha256);
    return key;
}

// A check of the header alone, so that a damaged header is told apart from a wrong password.
QByteArray headerCheck(const char* header)
{
    return QCryptographicHash::hash(QByteArrayView(header, CheckOffset), QCryptographicHash::Sha256).left(4);
}

QByteArray verifierOf(const QByteArray& key)
{
    return QMessageAuthenticationCode::hash("quelmar table file password", key, QCryptographicHash::Sha256);
}

// A keystream from the key (SHA-256 in counter mode) XORed over the data: the content is not readable without the
// password; the verifier and the HMAC, not this, decide whether a file opens.
void scramble(QByteArray& data, const QByteArray& key)
{
    QByteArray block(key.size() + 8, '\0');
    std::memcpy(block.data(), key.constData(), size_t(key.size()));
    char* p = data.data();
    const qsizetype n = data.size();
    quint64 counter = 0;
    for (qsizetype off = 0; off < n; off += HashSize, ++counter) {
        qToLittleEndian(counter, block.data() + key.size());
        const QByteArray ks = QCryptographicHash::hash(block, QCryptographicHash::Sha256);
        const qsizetype len = qMin<qsizetype>(HashSize, n - off);
        for (qsizetype i = 0; i < len; ++i)
            p[off + i] = char(p[off + i] ^ ks.at(i));
    }
}

// ---- writing -------------------------------------------------------------------------------------------------

void writeLine(QDataStream& s, const Line& l) { s << l.style << quint32(l.color); }

void writeRange(QDataStream& s, const Range& r) { s << qint32(r.col1) << qint32(r.row1) << qint32(r.col2) << qint32(r.row2); }

QByteArray formatBytes(const CellFormat& f)
{
    QByteArray b;
    QDataStream s(&b, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << qint32(f.font) << qint32(f.fontSize) << qint32(f.fontStyle) << qint32(f.textColor) << qint32(f.backColor)
      << qint32(f.align) << qint32(f.textStyle) << qint32(f.numType) << qint32(f.decimals) << qint32(f.separator)
      << qint32(f.currency) << qint32(f.dateStyle) << qint32(f.timeStyle) << qint32(f.input);
    for (const Line& l : f.border)
        writeLine(s, l);
    for (const Line& l : f.diagonal)
        writeLine(s, l);
    return b;
}

enum ValueKind : quint8 { KEmpty = 0, KNumber, KText, KBool, KError };
enum CellFlag : quint8 { HasFormula = 1, HasDropdown = 2, HasLink = 4 };

void writeValue(QDataStream& s, const Value& v)
{
    if (const double* d = std::get_if<double>(&v))
        s << quint8(KNumber) << *d;
    else if (const QString* t = std::get_if<QString>(&v))
        s << quint8(KText) << *t;
    else if (const bool* b = std::get_if<bool>(&v))
        s << quint8(KBool) << *b;
    else if (const ErrorValue* e = std::get_if<ErrorValue>(&v))
        s << quint8(KError) << quint8(*e);
    else
        s << quint8(KEmpty);
}

void writeIntVector(QDataStream& s, const QVector<int>& v)
{
    s << quint32(v.size());
    for (int x : v)
        s << qint32(x);
}

void writePage(QDataStream& s, const PageSetup& p)
{
    s << qint32(p.paper) << p.landscape << p.marginLeft << p.marginTop << p.marginRight << p.marginBottom
      << qint32(p.scale) << p.fitToWidth << p.centerHorizontally << p.centerVertically;
    writeRange(s, p.printArea);
    s << qint32(p.copies);
}

// Every field of a format as plain integers: a cheap key to find equal formats.
QByteArray formatKey(const CellFormat& f)
{
    const qint32 v[] = {f.font, f.fontSize, f.fontStyle, f.textColor, f.backColor, f.align, f.textStyle, f.numType,
                        f.decimals, f.separator, f.currency, f.dateStyle, f.timeStyle, f.input,
                        f.border[0].style, qint32(f.border[0].color), f.border[1].style, qint32(f.border[1].color),
                        f.border[2].style, qint32(f.border[2].color), f.border[3].style, qint32(f.border[3].color),
                        f.diagonal[0].style, qint32(f.diagonal[0].color), f.diagonal[1].style,
                        qint32(f.diagonal[1].color)};
    return QByteArray(reinterpret_cast<const char*>(v), sizeof v);
}

} // namespace

bool needsVersion2(const Workbook& wb)
{
    for (const Sheet& sh : wb.sheets) {
        if (!sh.charts.isEmpty())
            return true;
        for (const Cell& c : sh.cells)
            if (!c.rules.isEmpty())
                return true;
    }
    return false;
}

namespace {

QByteArray payloadOf(const Workbook& wb)
{
    // Formats first, deduplicated: a form has thousands of cells but a few dozen distinct formats.
    QHash<QByteArray, quint32> formatIndex;
    QList<QByteArray> formats;
    formats << formatBytes(CellFormat{});
    formatIndex.insert(formatKey(CellFormat{}), 0);
    QList<QList<quint32>> cellFormats;   // per sheet, in the order the cells are written
    for (const Sheet& sh : wb.sheets) {
        QList<quint32> idx;
        idx.reserve(sh.cells.size());
        for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
            const QByteArray fk = formatKey(it.value().format);
            auto f = formatIndex.constFind(fk);
            if (f == formatIndex.constEnd()) {
                f = formatIndex.insert(fk, quint32(formats.size()));
                formats << formatBytes(it.value().format);
            }
            idx << f.value();
        }
        cellFormats << idx;
    }

    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << quint32(wb.fonts.size());
    for (const QString& f : wb.fonts)
        s << f;
    s << quint32(wb.colors.size());
    for (QRgb c : wb.colors)
        s << quint32(c);
    s << qint32(wb.curSheet) << wb.showSheetLabel;
    s << quint32(formats.size());
    for (const QByteArray& f : formats)
        s.writeRawData(f.constData(), int(f.size()));

    s << quint32(wb.sheets.size());
    for (int si = 0; si < wb.sheets.size(); ++si) {
        const Sheet& sh = wb.sheets.at(si);
        s << sh.name << qint32(sh.cols) << qint32(sh.rows);
        writeIntVector(s, sh.colWidths);
        writeIntVector(s, sh.rowHeights);
        s << qint32(sh.curCol) << qint32(sh.curRow);
        writeRange(s, sh.selection);
        s << qint32(sh.fixedCols) << qint32(sh.fixedRows);
        const quint8 shows = quint8((sh.showRowLabel ? 1 : 0) | (sh.showColLabel ? 2 : 0) | (sh.showGrid ? 4 : 0)
                                    | (sh.showHScroll ? 8 : 0) | (sh.showVScroll ? 16 : 0));
        s << shows << sh.zoom;
        writePage(s, sh.page);
        s << quint32(sh.merges.size());
        for (const Range& m : sh.merges)
            writeRange(s, m);
        s << quint32(sh.cells.size());
        int ci = 0;
        for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it, ++ci) {
            const Cell& c = it.value();
            const quint8 flags = quint8((c.formula.isEmpty() ? 0 : HasFormula) | (c.dropdown.isEmpty() ? 0 : HasDropdown)
                                        | (c.hyperlink.isEmpty() ? 0 : HasLink));
            s << quint16(Sheet::keyCol(it.key())) << quint32(Sheet::keyRow(it.key())) << flags
              << cellFormats.at(si).at(ci);
            writeValue(s, c.value);
            if (flags & HasFormula)
                s << c.formula;
            if (flags & HasDropdown)
                s << c.dropdown << qint32(c.dropdownKind);
            if (flags & HasLink)
                s << c.hyperlink;
        }
        s << quint32(sh.pictures.size());
        for (const Picture& p : sh.pictures) {
            writeRange(s, p.anchor);
            s << p.data;
        }
        s << sh.backgroundPicture;
    }
    // Format 2: charts and the display / colour formulas of cells, after the sheets so that a file without
    // them is laid out exactly as format 1.
    if (needsVersion2(wb)) {
        s << ExtensionTag;
        for (const Sheet& sh : wb.sheets) {
            s << quint32(sh.charts.size());
            for (const Chart& c : sh.charts) {
                s << quint8(c.type);
                writeRange(s, c.data);
                s << c.seriesInRows << c.labelsInFirst << c.title;
                writeRange(s, c.anchor);
            }
            quint32 nRules = 0;
            for (const Cell& c : sh.cells)
                nRules += c.rules.isEmpty() ? 0 : 1;
            s << nRules;
            for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
                const CellRules& r = it.value().rules;
                if (r.isEmpty())
                    continue;
                s << quint16(Sheet::keyCol(it.key())) << quint32(Sheet::keyRow(it.key())) << r.showFormula
                  << r.colorFormula << quint32(r.textColor) << quint32(r.backColor);
            }
        }
    }
    s << PayloadEnd;
    return out;
}

// ---- reading -------------------------------------------------------------------------------------------------

// Thrown inside the parser on anything inconsistent; turned into the "damaged" message.
struct Damaged {};

class Parser {
public:
    explicit Parser(const QByteArray& data) : m_s(data) { m_s.setVersion(QDataStream::Qt_6_4); }

    template <typename T> T get()
    {
        T v{};
        m_s >> v;
        check();
        return v;
    }
    qint32 getInt(qint32 lo, qint32 hi)
    {
        const qint32 v = get<qint32>();
        if (v < lo || v > hi)
            throw Damaged{};
        return v;
    }
    // A count of items each taking at least `minBytes`: never more than the bytes that are left.
    quint32 getCount(quint32 minBytes)
    {
        const quint32 n = get<quint32>();
        const qint64 left = m_s.device()->bytesAvailable();
        if (qint64(n) * qMax<quint32>(minBytes, 1) > left)
            throw Damaged{};
        return n;
    }
    void raw(char* p, int n)
    {
        if (m_s.readRawData(p, n) != n)
            throw Damaged{};
    }
    bool atEnd() const { return m_s.atEnd(); }
    QDataStream& stream() { return m_s; }
    void check() const
    {
        if (m_s.status() != QDataStream::Ok)
            throw Damaged{};
    }

private:
    QDataStream m_s;
};

Line readLine(Parser& p)
{
    Line l;
    l.style = p.get<quint8>();
    l.color = p.get<quint32>();
    return l;
}

Range readRange(Parser& p)
{
    Range r;
    r.col1 = p.get<qint32>();
    r.row1 = p.get<qint32>();
    r.col2 = p.get<qint32>();
    r.row2 = p.get<qint32>();
    return r;
}

CellFormat readFormat(Parser& p)
{
    CellFormat f;
    f.font = p.get<qint32>();
    f.fontSize = p.get<qint32>();
    f.fontStyle = p.get<qint32>();
    f.textColor = p.get<qint32>();
    f.backColor = p.get<qint32>();
    f.align = p.get<qint32>();
    f.textStyle = p.get<qint32>();
    f.numType = p.get<qint32>();
    f.decimals = p.get<qint32>();
    f.separator = p.get<qint32>();
    f.currency = p.get<qint32>();
    f.dateStyle = p.get<qint32>();
    f.timeStyle = p.get<qint32>();
    f.input = p.get<qint32>();
    for (Line& l : f.border)
        l = readLine(p);
    for (Line& l : f.diagonal)
        l = readLine(p);
    return f;
}

Value readValue(Parser& p)
{
    switch (p.get<quint8>()) {
    case KEmpty: return Empty{};
    case KNumber: return p.get<double>();
    case KText: return p.get<QString>();
    case KBool: return p.get<bool>();
    case KError: {
        const quint8 e = p.get<quint8>();
        if (e < quint8(ErrorValue::Null) || e > quint8(ErrorValue::Circular))
            throw Damaged{};
        return ErrorValue(e);
    }
    default: throw Damaged{};
    }
}

QVector<int> readIntVector(Parser& p, int expected)
{
    const quint32 n = p.getCount(4);
    if (int(n) != expected)
        throw Damaged{};
    QVector<int> v(qsizetype(n), 0);
    for (int& x : v)
        x = p.getInt(0, 100000);
    return v;
}

PageSetup readPage(Parser& p)
{
    PageSetup g;
    g.paper = p.get<qint32>();
    g.landscape = p.get<bool>();
    g.marginLeft = p.get<double>();
    g.marginTop = p.get<double>();
    g.marginRight = p.get<double>();
    g.marginBottom = p.get<double>();
    g.scale = p.get<qint32>();
    g.fitToWidth = p.get<bool>();
    g.centerHorizontally = p.get<bool>();
    g.centerVertically = p.get<bool>();
    g.printArea = readRange(p);
    g.copies = p.get<qint32>();
    return g;
}

// Every field of a format within its range. What no program writes is refused (the file is damaged); a value that
// is merely unusual, such as an index past the end of a table or an unknown style code, is brought to its default.
void checkFormat(CellFormat& f, const Workbook& wb)
{
    // Indexes into the tables must point into them; the renderer relies on it.
    if (f.font < 0 || f.font >= wb.fonts.size())
        f.font = 0;
    if (f.textColor < -1 || f.textColor >= wb.colors.size())
        f.textColor = -1;
    if (f.backColor < -1 || f.backColor >= wb.colors.size())
        f.backColor = -1;
    // Digits after the point feed the number conversion, which allows no more than this.
    if (f.decimals < -1 || f.decimals > MaxDecimals || f.numType < NumGeneral || f.numType > NumPercent)
        throw Damaged{};
    f.fontSize = std::clamp(f.fontSize, 1, 409);
    f.fontStyle &= 2 | 4 | 8;
    f.align &= HAlignMask | VAlignMask;
    f.textStyle &= 0xff;
    if (f.separator != 0 && f.separator != 2)
        f.separator = 0;
    if (f.currency < 0 || f.currency > 4)
        f.currency = 0;
    if (f.dateStyle < 0 || f.dateStyle > 21)
        f.dateStyle = 0;
    if (f.timeStyle < 0 || f.timeStyle > 10)
        f.timeStyle = 0;
    if (f.input != 1 && f.input != 5)
        f.input = 1;
}

void checkPage(PageSetup& g, const Sheet& sh)
{
    for (double* m : {&g.marginLeft, &g.marginTop, &g.marginRight, &g.marginBottom}) {
        if (!std::isfinite(*m))
            throw Damaged{};
        *m = std::clamp(*m, 0.0, 500.0);
    }
    g.scale = std::clamp(g.scale, 10, 400);
    g.copies = std::clamp(g.copies, 1, 9999);
    const Range a = g.printArea;
    if (!a.isEmpty()) {
        const Range in{qMax(a.col1, 1), qMax(a.row1, 1), qMin(a.col2, sh.cols - 1), qMin(a.row2, sh.rows - 1)};
        g.printArea = in.isEmpty() ? Range{} : in;
    }
}

Workbook parsePayload(const QByteArray& data, quint16 version)
{
    Parser p(data);
    Workbook wb;
    wb.fonts.clear();
    const quint32 nFonts = p.getCount(4);
    for (quint32 i = 0; i < nFonts; ++i)
        wb.fonts << p.get<QString>();
    const quint32 nColors = p.getCount(4);
    for (quint32 i = 0; i < nColors; ++i)
        wb.colors << QRgb(p.get<quint32>());
    wb.curSheet = p.get<qint32>();
    wb.showSheetLabel = p.get<bool>();

    if (wb.fonts.isEmpty())
        throw Damaged{};
    const quint32 nFormats = p.getCount(56);
    if (nFormats == 0)
        throw Damaged{};
    QList<CellFormat> formats;
    formats.reserve(int(nFormats));
    for (quint32 i = 0; i < nFormats; ++i) {
        CellFormat f = readFormat(p);
        checkFormat(f, wb);
        formats << f;
    }

    const quint32 nSheets = p.getCount(16);
    if (nSheets == 0)
        throw Damaged{};
    wb.sheets.clear();
    for (quint32 si = 0; si < nSheets; ++si) {
        Sheet sh;
        sh.name = p.get<QString>();
        sh.cols = p.getInt(2, MaxCols + 1);
        sh.rows = p.getInt(2, MaxRows + 1);
        sh.colWidths = readIntVector(p, sh.cols);
        sh.rowHeights = readIntVector(p, sh.rows);
        sh.curCol = p.getInt(0, sh.cols - 1);
        sh.curRow = p.getInt(0, sh.rows - 1);
        sh.selection = readRange(p);
        sh.fixedCols = p.getInt(0, sh.cols - 1);
        sh.fixedRows = p.getInt(0, sh.rows - 1);
        const quint8 shows = p.get<quint8>();
        sh.showRowLabel = shows & 1;
        sh.showColLabel = shows & 2;
        sh.showGrid = shows & 4;
        sh.showHScroll = shows & 8;
        sh.showVScroll = shows & 16;
        sh.zoom = p.get<double>();
        if (!(sh.zoom >= 0.01 && sh.zoom <= 100))
            throw Damaged{};
        sh.page = readPage(p);
        checkPage(sh.page, sh);
        const quint32 nMerges = p.getCount(16);
        for (quint32 i = 0; i < nMerges; ++i) {
            const Range m = readRange(p);
            if (m.isEmpty() || m.col1 < 1 || m.row1 < 1 || m.col2 >= sh.cols || m.row2 >= sh.rows)
                throw Damaged{};
            sh.merges << m;
        }
        const quint32 nCells = p.getCount(12);
        sh.cells.reserve(qsizetype(nCells));
        for (quint32 i = 0; i < nCells; ++i) {
            const int col = p.get<quint16>();
            const quint32 row = p.get<quint32>();
            if (col < 1 || col >= sh.cols || row < 1 || row >= quint32(sh.rows))
                throw Damaged{};
            const quint8 flags = p.get<quint8>();
            const quint32 fi = p.get<quint32>();
            if (fi >= nFormats)
                throw Damaged{};
            Cell c;
            c.format = formats.at(int(fi));
            c.value = readValue(p);
            if (flags & HasFormula)
                c.formula = p.get<QString>();
            if (flags & HasDropdown) {
                c.dropdown = p.get<QString>();
                c.dropdownKind = p.get<qint32>() == 2 ? 2 : 0;
            }
            if (flags & HasLink)
                c.hyperlink = p.get<QString>();
            sh.cells.insert(Sheet::key(col, int(row)), std::move(c));
        }
        const quint32 nPictures = p.getCount(20);
        for (quint32 i = 0; i < nPictures; ++i) {
            Picture pic;
            pic.anchor = readRange(p);
            if (pic.anchor.isEmpty() || pic.anchor.col1 < 1 || pic.anchor.row1 < 1 || pic.anchor.col2 >= sh.cols
                || pic.anchor.row2 >= sh.rows)
                throw Damaged{};
            pic.data = p.get<QByteArray>();
            sh.pictures << pic;
        }
        sh.backgroundPicture = p.get<QByteArray>();
        const Range sel{qMax(sh.selection.col1, 1), qMax(sh.selection.row1, 1), qMin(sh.selection.col2, sh.cols - 1),
                        qMin(sh.selection.row2, sh.rows - 1)};
        sh.selection = sel.isEmpty() ? Range{1, 1, 1, 1} : sel;
        wb.sheets << sh;
    }
    if (wb.curSheet < 0 || wb.curSheet >= wb.sheets.size())
        throw Damaged{};
    quint32 tag = p.get<quint32>();
    if (tag == ExtensionTag) {
        if (version < 2)
            throw Damaged{};
        for (Sheet& sh : wb.sheets) {
            const auto inSheet = [&](const Range& r) {
                return !r.isEmpty() && r.col1 >= 1 && r.row1 >= 1 && r.col2 < sh.cols && r.row2 < sh.rows;
            };
            const quint32 nCharts = p.getCount(35);
            for (quint32 i = 0; i < nCharts; ++i) {
                Chart c;
                const quint8 type = p.get<quint8>();
                if (type > quint8(ChartType::Pie))
                    throw Damaged{};
                c.type = ChartType(type);
                c.data = readRange(p);
                c.seriesInRows = p.get<bool>();
                c.labelsInFirst = p.get<bool>();
                c.title = p.get<QString>();
                c.anchor = readRange(p);
                if (!inSheet(c.data) || !inSheet(c.anchor))
                    throw Damaged{};
                sh.charts << c;
            }
            const quint32 nRules = p.getCount(22);
            for (quint32 i = 0; i < nRules; ++i) {
                const int col = p.get<quint16>();
                const quint32 row = p.get<quint32>();
                if (col < 1 || col >= sh.cols || row < 1 || row >= quint32(sh.rows))
                    throw Damaged{};
                CellRules r;
                r.showFormula = p.get<QString>();
                r.colorFormula = p.get<QString>();
                r.textColor = QRgb(p.get<quint32>());
                r.backColor = QRgb(p.get<quint32>());
                if (r.isEmpty())
                    throw Damaged{};
                sh.cellRef(col, int(row)).rules = r;
            }
        }
        tag = p.get<quint32>();
    }
    if (tag != PayloadEnd || !p.atEnd())
        throw Damaged{};
    return wb;
}

QString displayName(const QString& name) { return name.isEmpty() ? QStringLiteral("表格文件") : name; }

} // namespace

// ---- TableFileWriter ---------------------------------------------------------------------------------------------

QByteArray TableFileWriter::encode(const Workbook& wb, const QString& password)
{
    // Files without charts or cell rules stay format 1, so that older programs still open them.
    return seal(payloadOf(wb), password, needsVersion2(wb) ? 2 : 1);
}

QByteArray TableFileWriter::payload(const Workbook& wb)
{
    return payloadOf(wb);
}

QByteArray TableFileWriter::seal(const QByteArray& payload, const QString& password, quint16 version)
{
    // zlib level 1: a quarter of the time of the default level for a fifth more bytes on typical forms.
    QByteArray stored = qCompress(payload, 1);
    QByteArray salt(SaltSize, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), SaltSize / 4);
    const QByteArray key = deriveKey(salt, password);
    scramble(stored, key);

    QByteArray out(HeaderSize, '\0');
    char* h = out.data();
    std::memcpy(h, Magic, 8);
    qToLittleEndian(version, h + 8);
    qToLittleEndian(quint16(0), h + 10);
    std::memcpy(h + 12, salt.constData(), SaltSize);
    std::memcpy(h + 12 + SaltSize, verifierOf(key).constData(), HashSize);
    qToLittleEndian(quint32(payload.size()), h + 12 + SaltSize + HashSize);
    qToLittleEndian(quint32(stored.size()), h + 16 + SaltSize + HashSize);
    std::memcpy(h + CheckOffset, headerCheck(h).constData(), 4);
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, key);
    mac.addData(out.constData(), MacOffset);
    mac.addData(stored);
    std::memcpy(out.data() + MacOffset, mac.result().constData(), HashSize);
    out += stored;
    return out;
}

bool TableFileWriter::write(const QString& path, const QString& password, const Workbook& wb)
{
    m_error.clear();
    const QByteArray bytes = encode(wb, password);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        m_error = QStringLiteral("无法保存表格文件 \"%1\"：%2").arg(path, f.errorString());
        f.cancelWriting();
        return false;
    }
    return true;
}

// ---- TableFileReader ---------------------------------------------------------------------------------------------

bool TableFileReader::read(const QString& path, const QString& password, Workbook& out)
{
    m_error.clear();
    QFile f(path);
    if (!QFileInfo(path).isFile()) {
        m_error = QStringLiteral("文件 %1 不存在。").arg(path);
        return false;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("无法打开表格文件 \"%1\"：%2").arg(path, f.errorString());
        return false;
    }
    if (f.size() > qint64(MaxPayload) + HeaderSize) {
        m_error = QStringLiteral("文件 \"%1\" 不是表格文件。").arg(path);
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        m_error = QStringLiteral("无法读取表格文件 \"%1\"：%2").arg(path, f.errorString());
        return false;
    }
    return decode(bytes, password, out, path);
}

bool TableFileReader::decode(const QByteArray& bytes, const QString& password, Workbook& out, const QString& name)
{
    m_error.clear();
    const QString file = displayName(name);
    const auto damaged = [&] {
        m_error = QStringLiteral("表格文件 \"%1\" 已损坏或不完整，无法打开。").arg(file);
        return false;
    };
    if (bytes.size() < 8 || std::memcmp(bytes.constData(), Magic, 8) != 0) {
        m_error = QStringLiteral("文件 \"%1\" 不是表格文件。").arg(file);
        return false;
    }
    if (bytes.size() < HeaderSize)
        return damaged();
    const char* h = bytes.constData();
    if (headerCheck(h) != bytes.mid(CheckOffset, 4))
        return damaged();
    const quint16 version = qFromLittleEndian<quint16>(h + 8);
    if (version == 0)
        return damaged();
    if (version > TableFileVersion) {
        m_error = QStringLiteral("表格文件 \"%1\" 由更新版本的程序保存（格式 %2），本程序无法打开。")
                      .arg(file)
                      .arg(version);
        return false;
    }
    const QByteArray salt = bytes.mid(12, SaltSize);
    const QByteArray key = deriveKey(salt, password);
    if (verifierOf(key) != bytes.mid(12 + SaltSize, HashSize)) {
        m_error = QStringLiteral("表格文件 \"%1\" 的密码不正确，无法打开。").arg(file);
        return false;
    }
    const quint32 payloadSize = qFromLittleEndian<quint32>(h + 12 + SaltSize + HashSize);
    const quint32 storedSize = qFromLittleEndian<quint32>(h + 16 + SaltSize + HashSize);
    if (payloadSize > MaxPayload || qint64(storedSize) != bytes.size() - HeaderSize)
        return damaged();
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, key);
    mac.addData(h, MacOffset);
    mac.addData(h + HeaderSize, storedSize);
    if (mac.result() != bytes.mid(MacOffset, HashSize))
        return damaged();
    QByteArray stored = bytes.mid(HeaderSize);
    scramble(stored, key);
    // qCompress puts the payload size in front; it must agree with the header before zlib allocates anything.
    if (stored.size() < 4 || qFromBigEndian<quint32>(stored.constData()) != payloadSize)
        return damaged();
    const QByteArray payload = qUncompress(stored);
    if (quint32(payload.size()) != payloadSize)
        return damaged();
    try {
        out = parsePayload(payload, version);
    } catch (const Damaged&) {
        return damaged();
    }
    return true;
}

} // namespace cell
