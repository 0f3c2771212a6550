#pragma once
#include "store/AppPaths.h"

// A new program folder for a user who has none, with the demo template of SampleTemplate.h: a copy of the
// installation's model folder (InstalledSkeletonFolder()) when there is one, else made here as
// `quelmar-cli init DIR --sample` makes it. All or nothing (BuildProgramFolder): `dir` must not exist or be empty,
// and a failure leaves nothing behind. `skeleton`: the model folder to copy; empty: make it here.
AppPaths CreateSampleProgramFolder(const QString& dir, const QString& skeleton);
