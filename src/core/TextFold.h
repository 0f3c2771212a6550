#pragma once
#include <QString>

// Case-free comparison of names (login names, owners of project and archive rows). The SQL side uses the same
// function: the data module registers it as lower() on its connection, so "ÄDMIN", "ädmin", Cyrillic and
// fullwidth Latin letters fold identically in a query and in C++. Unicode case folding rather than plain lower
// case, so that letters with two lower forms (Greek final sigma) still match.
inline QString foldCase(const QString& text)
{
    return text.toCaseFolded();
}

inline bool equalsFolded(const QString& a, const QString& b)
{
    return foldCase(a) == foldCase(b);
}
