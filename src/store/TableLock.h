#pragma once
#include <QString>

#include <memory>

class TDataPoolDM;

namespace store {

// A table file held open for editing by this program's designer: another program (another workstation in team
// mode) that opens the same file is told who holds it ("表格正由 %s 编辑。") and shows it read-only. The lock is
// released when the object goes, and lapses by itself when its holder's connection or process ends.
class TableLock {
public:
    // The lock of `fileKey` (the file's path in the program folder) for `user`; null when a living holder has it,
    // whose name is then put in `*holder`. Fails (QuelmarError) when the database cannot be written.
    static std::unique_ptr<TableLock> acquire(TDataPoolDM& dm, const QString& fileKey, const QString& user,
                                              QString* holder);
    ~TableLock();
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    const QString& fileKey() const { return m_key; }
    // The message for someone who finds the file held.
    static QString heldMessage(const QString& holder);

private:
    TableLock(TDataPoolDM& dm, QString key) : m_dm(dm), m_key(std::move(key)) {}
    TDataPoolDM& m_dm;
    QString m_key;
};

}
