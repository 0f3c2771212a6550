#include "support/XlsxFixture.h"

namespace {

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xffffffffu;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void le16(QByteArray& b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); }
void le32(QByteArray& b, quint32 v)
{
    le16(b, quint16(v & 0xffff));
    le16(b, quint16(v >> 16));
}

} // namespace

// A zip archive of stored (uncompressed) entries: enough for a hand-made .xlsx.
QByteArray zipOf(const QList<QPair<QString, QByteArray>>& entries)
{
    QByteArray out, central;
    for (const auto& [name, data] : entries) {
        const QByteArray n = name.toUtf8();
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(data);
        le32(out, 0x04034b50);
        le16(out, 20), le16(out, 0), le16(out, 0), le16(out, 0), le16(out, 0);
        le32(out, crc), le32(out, quint32(data.size())), le32(out, quint32(data.size()));
        le16(out, quint16(n.size())), le16(out, 0);
        out += n + data;
        le32(central, 0x02014b50);
        le16(central, 20), le16(central, 20), le16(central, 0), le16(central, 0), le16(central, 0), le16(central, 0);
        le32(central, crc), le32(central, quint32(data.size())), le32(central, quint32(data.size()));
        le16(central, quint16(n.size())), le16(central, 0), le16(central, 0), le16(central, 0), le16(central, 0);
        le32(central, 0), le32(central, offset);
        central += n;
    }
    const quint32 cdOffset = quint32(out.size());
    out += central;
    le32(out, 0x06054b50);
    le16(out, 0), le16(out, 0), le16(out, quint16(entries.size())), le16(out, quint16(entries.size()));
    le32(out, quint32(central.size())), le32(out, cdOffset), le16(out, 0);
    return out;
}

// A minimal .xlsx whose first sheet holds `sheetData` (the <sheetData> children).
QByteArray handMadeXlsx(const QByteArray& sheetData)
{
    const QByteArray types = R"(<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
</Types>)";
    const QByteArray rels = R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>)";
    const QByteArray book = R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="检验表" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    const QByteArray bookRels = R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
</Relationships>)";
    const QByteArray sheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        + sheetData + "</sheetData></worksheet>";
    return zipOf({{"[Content_Types].xml", types},
                  {"_rels/.rels", rels},
                  {"xl/workbook.xml", book},
                  {"xl/_rels/workbook.xml.rels", bookRels},
                  {"xl/worksheets/sheet1.xml", sheet}});
}

