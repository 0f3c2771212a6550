#include "projects/HeaderFields.h"

namespace HeaderFields {

QStringList names()
{
    static const QStringList all{
        QStringLiteral("工程名称"),   QStringLiteral("监理单位"),     QStringLiteral("项目经理"),
        QStringLiteral("分包单位"),   QStringLiteral("专业工长"),     QStringLiteral("结构类型"),
        QStringLiteral("执行标准"),   QStringLiteral("建筑面积"),     QStringLiteral("设计单位"),
        QStringLiteral("施工单位"),   QStringLiteral("结构层次"),     QStringLiteral("建设单位"),
        QStringLiteral("勘察单位"),   QStringLiteral("监理工程师"),   QStringLiteral("施工班组长"),
        QStringLiteral("分包项目经理"), QStringLiteral("项目技术负责人"), QStringLiteral("分包技术负责人"),
    };
    return all;
}

QString name(int n)
{
    return n >= 1 && n <= Count ? names().at(n - 1) : QString();
}

QStringList emptyValues()
{
    QStringList v;
    for (int n = 0; n < Count; ++n)
        v << QString();
    return v;
}

} // namespace HeaderFields
