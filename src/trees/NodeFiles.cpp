#include "trees/NodeFiles.h"
#include "store/AppPaths.h"
#include "store/FileLayout.h"

QString NodeFolder(const AppPaths& paths, Library library, int iDir)
{
    return library == Library::Moban ? paths.MobanFolderPath(iDir) : paths.ZiLiaoFolderPath(iDir);
}

QString NodeFile(const AppPaths& paths, Library library, const NodeRecord& rec)
{
    return FileLayout::NodeFilePath(NodeFolder(paths, library, rec.iDir), rec.File_Name, rec.Ext);
}
