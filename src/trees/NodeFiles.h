#pragma once
#include "trees/NodeRecord.h"

struct AppPaths;

// Where a node's files are: the template library's in "SysTables/", the project library's in "ProTables/"; the
// archive owns no files, its forms and documents refer to the project library's.
QString NodeFolder(const AppPaths& paths, Library library, int iDir);
QString NodeFile(const AppPaths& paths, Library library, const NodeRecord& rec);
