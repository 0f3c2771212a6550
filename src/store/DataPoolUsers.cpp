// The data module's statements for user accounts (the user manager): the users table with the rows that belong to
// an account.
#include "store/DataPool.h"
#include "core/TextFold.h"

void TDataPoolDM::ApplyUserAccountUpdates(const ChangeLog& log)
{
    const qsizetype nameColumn = log.columns.indexOf(QStringLiteral("opName"));
    const auto addAccountRows = [this](const QString& name) {
        // Names are compared through the engine's lower() on both sides, so both engines fold alike.
        run(QStringLiteral("INSERT INTO OwnerConfig (Opname, IsNormal, FrmLeft, FrmTop, FrmWidth, FrmHeight, "
                           "MPanelSize, ZPanelSize, GPanelSize) SELECT CAST(? AS VARCHAR(50)), TRUE, 80, 40, 1024, 700, "
                           "220, 240, 180 WHERE NOT EXISTS (SELECT 1 FROM OwnerConfig WHERE lower(Opname) = lower(?))"),
            {name, name});
        run(QStringLiteral("INSERT INTO defaultgk (CZYID) SELECT CAST(? AS VARCHAR(50)) "
                           "WHERE NOT EXISTS (SELECT 1 FROM defaultgk WHERE lower(CZYID) = lower(?))"),
            {name, name});
    };
    const auto moveAccountRows = [this](const QString& oldName, const QString& newName) {
        const QString& oldFolded = oldName;   // folded by the statements' lower(?)
        const QString& newFolded = newName;
        run(QStringLiteral("UPDATE ZiLiao SET UserID = ? WHERE lower(UserID) = lower(?) AND UserID <> 'Everyone'"),
            {newName, oldFolded});
        run(QStringLiteral("UPDATE GuiDang SET UserID = ? WHERE lower(UserID) = lower(?) AND UserID <> 'Everyone'"),
            {newName, oldFolded});
        run(QStringLiteral("DELETE FROM OwnerConfig WHERE lower(Opname) = lower(?)"), {newFolded});
        run(QStringLiteral("UPDATE OwnerConfig SET Opname = ? WHERE lower(Opname) = lower(?)"), {newName, oldFolded});
        run(QStringLiteral("DELETE FROM defaultgk WHERE lower(CZYID) = lower(?)"), {newFolded});
        run(QStringLiteral("UPDATE defaultgk SET CZYID = ? WHERE lower(CZYID) = lower(?)"), {newName, oldFolded});
        run(QStringLiteral("UPDATE lastczy SET opName = ? WHERE lower(opName) = lower(?)"), {newName, oldFolded});
    };
    apply(QStringLiteral("czy"), log, [&](const RowChange& c, const QStringList&) {
        if (nameColumn < 0)
            return;
        if (c.kind == RowChange::Kind::Insert) {
            addAccountRows(c.newValues.value(nameColumn).toString());
        } else if (c.kind == RowChange::Kind::Modify) {
            const QString oldName = c.oldValues.value(nameColumn).toString();
            const QString newName = c.newValues.value(nameColumn).toString();
            if (foldCase(oldName) != foldCase(newName))
                moveAccountRows(oldName, newName);
        }
    });
}
