#pragma once
// The table-file format: our own, versioned and compact.
//
//   header (104 bytes): magic "QLMRCELL", format version (u16 LE), flags (u16), salt (16), password verifier (32),
//                       payload size (u32 LE), stored size (u32 LE), header check (4: SHA-256 of the bytes
//                       before it), HMAC-SHA256 of header and stored bytes (32)
//   stored bytes:       the zlib-compressed payload, scrambled with a key derived from the salt and the password
//   payload:            the workbook (QDataStream), cell formats kept once in a table and referenced by index
//
// A file opens only with the password it was written with (the verifier), damage anywhere is caught by the HMAC
// before anything is parsed, and the parser bounds every count, so a damaged, truncated or foreign file fails with
// a message and never crashes. Saving goes through QSaveFile: the old file stays whole until the new one is
// complete.

#include "cell/Workbook.h"

#include <QByteArray>
#include <QString>

namespace cell {

// Format 1: the workbook; format 2 adds charts and the display / colour formulas of cells (written only when a
// workbook has them). The reader takes both.
constexpr quint16 TableFileVersion = 2;

// Whether `wb` needs format 2.
bool needsVersion2(const Workbook& wb);

class TableFileReader {
public:
    // Reads `path` into `out`. False on failure (out is then unchanged); errorString() says why in Chinese.
    bool read(const QString& path, const QString& password, Workbook& out);
    // The same over bytes already read; `name` names the file in messages.
    bool decode(const QByteArray& bytes, const QString& password, Workbook& out, const QString& name = QString());
    QString errorString() const { return m_error; }

private:
    QString m_error;
};

class TableFileWriter {
public:
    // Writes `wb` to `path` atomically. False on failure (the old file is intact); errorString() says why.
    bool write(const QString& path, const QString& password, const Workbook& wb);
    static QByteArray encode(const Workbook& wb, const QString& password);
    // The two layers of encode: the workbook as payload bytes, and the payload sealed into a file (compressed,
    // scrambled, checked). Apart they let tests hand the reader payloads that pass every check of the file layer.
    static QByteArray payload(const Workbook& wb);
    static QByteArray seal(const QByteArray& payload, const QString& password, quint16 version = TableFileVersion);
    QString errorString() const { return m_error; }

private:
    QString m_error;
};

} // namespace cell
