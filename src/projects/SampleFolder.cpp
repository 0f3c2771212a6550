#include "projects/SampleFolder.h"

#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"

AppPaths CreateSampleProgramFolder(const QString& dir, const QString& skeleton)
{
    if (!skeleton.isEmpty())
        return CopyProgramFolder(skeleton, dir);
    return BuildProgramFolder(dir, [](const QString& folder) {
        const AppPaths p = CreateProgramFolder(folder);
        TDataPoolDM dm(ProgramDatabase(p));
        AddSampleTemplate(dm, p);
    });
}
