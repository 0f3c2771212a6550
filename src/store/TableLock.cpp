#include "store/TableLock.h"
#include "store/DataPool.h"

namespace store {

std::unique_ptr<TableLock> TableLock::acquire(TDataPoolDM& dm, const QString& fileKey, const QString& user,
                                              QString* holder)
{
    const QString held = dm.AcquireTableLock(fileKey, user);
    if (!held.isEmpty()) {
        if (holder)
            *holder = held;
        return nullptr;
    }
    return std::unique_ptr<TableLock>(new TableLock(dm, fileKey));
}

TableLock::~TableLock() { m_dm.ReleaseTableLock(m_key); }

QString TableLock::heldMessage(const QString& holder) { return QStringLiteral("表格正由 %1 编辑。").arg(holder); }

}
