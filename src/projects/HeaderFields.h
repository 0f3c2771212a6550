#pragma once
#include <QString>
#include <QStringList>

// The 18 header fields of a project's overview, numbered 1..18 in one fixed order everywhere: the overview columns
// s1..s18, the header-fill columns BeFilledN / RowN / ColN, the option lists' TypeID and the dialogs' boxes.
namespace HeaderFields {

constexpr int Count = 18;
// The longest value the overview columns hold.
constexpr int MaxValueLength = 50;

// "工程名称" for 1 ... "分包技术负责人" for 18; empty outside 1..18.
QString name(int n);
QStringList names();
// 18 empty texts.
QStringList emptyValues();

} // namespace HeaderFields
