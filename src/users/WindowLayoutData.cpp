#include "users/WindowLayoutData.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "users/Login.h"

namespace {

QVariantMap layoutValues(const WindowLayout& l)
{
    return {
        {QStringLiteral("IsNormal"), l.isNormal},
        {QStringLiteral("FrmLeft"), l.geometry.x()},
        {QStringLiteral("FrmTop"), l.geometry.y()},
        {QStringLiteral("FrmWidth"), l.geometry.width()},
        {QStringLiteral("FrmHeight"), l.geometry.height()},
        {QStringLiteral("MPanelSize"), l.mPanelSize},
        {QStringLiteral("ZPanelSize"), l.zPanelSize},
        {QStringLiteral("GPanelSize"), l.gPanelSize},
    };
}

} // namespace

WindowLayout LoadWindowLayoutData(TDataPoolDM& dm, const TLoginInfo& login, RowSet& cds)
{
    cds.load(dm.GetOwnerConfigData(login.opName));
    if (cds.totalCount() == 0) {
        QVariantMap values = layoutValues(WindowLayout());
        values.insert(QStringLiteral("Opname"), login.opName);
        cds.append(values);
        dm.ApplyOwnerConfigUpdates(login.opName, cds.changeLog());
        cds.merge();
    }
    const RowSet::RowId id = cds.allRows().first();
    const auto intOf = [&](const char* column) { return cds.value(id, QString::fromLatin1(column)).toInt(); };
    WindowLayout l;
    l.isNormal = cds.value(id, QStringLiteral("IsNormal")).toBool();
    l.geometry = QRect(intOf("FrmLeft"), intOf("FrmTop"), intOf("FrmWidth"), intOf("FrmHeight"));
    l.mPanelSize = intOf("MPanelSize");
    l.zPanelSize = intOf("ZPanelSize");
    l.gPanelSize = intOf("GPanelSize");
    return l;
}

void SaveWindowLayoutData(TDataPoolDM& dm, const TLoginInfo& login, RowSet& cds, const WindowLayout& layout,
                          bool maximized)
{
    if (!cds.isOpen() || cds.totalCount() == 0)
        throw QuelmarError(QStringLiteral("%1用户没有其默认的配置信息！").arg(login.opName));
    const RowSet::RowId id = cds.allRows().first();
    cds.edit(id);
    if (maximized) {
        cds.setField(QStringLiteral("IsNormal"), false);
    } else {
        cds.setField(QStringLiteral("IsNormal"), true);
        cds.setField(QStringLiteral("FrmLeft"), layout.geometry.x());
        cds.setField(QStringLiteral("FrmTop"), layout.geometry.y());
        cds.setField(QStringLiteral("FrmWidth"), layout.geometry.width());
        cds.setField(QStringLiteral("FrmHeight"), layout.geometry.height());
    }
    cds.setField(QStringLiteral("ZPanelSize"), layout.zPanelSize);
    cds.setField(QStringLiteral("GPanelSize"), layout.gPanelSize);
    if (login.opType != UserType::Standard)
        cds.setField(QStringLiteral("MPanelSize"), layout.mPanelSize);
    cds.post();
    if (cds.hasChanges()) {
        dm.ApplyOwnerConfigUpdates(login.opName, cds.changeLog());
        cds.merge();
    }
}
