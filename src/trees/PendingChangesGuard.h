#pragma once
#include "store/RowSet.h"

#include <exception>

// Used by the node operations: when an operation leaves by an exception, the row changes it posted but did not
// apply are thrown away, so the cached copy keeps matching the database (the next operation would otherwise write
// them without being asked to). Changes already applied and merged are not touched.
class PendingChangesGuard {
public:
    explicit PendingChangesGuard(RowSet& rows) : m_rows(rows), m_exceptions(std::uncaught_exceptions()) {}
    ~PendingChangesGuard()
    {
        if (std::uncaught_exceptions() > m_exceptions && m_rows.isOpen()) {
            if (m_rows.isEditing())
                m_rows.cancel();
            if (m_rows.hasChanges())
                m_rows.cancelUpdates();
        }
    }
    PendingChangesGuard(const PendingChangesGuard&) = delete;
    PendingChangesGuard& operator=(const PendingChangesGuard&) = delete;

private:
    RowSet& m_rows;
    int m_exceptions;
};
