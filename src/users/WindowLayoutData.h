#pragma once
#include "store/RowSet.h"

#include <QRect>

class TDataPoolDM;
struct TLoginInfo;

// The per-user window layout as stored in the user's OwnerConfig row.
struct WindowLayout {
    bool isNormal = true;          // false: the window was maximized (the geometry is then kept as it was)
    QRect geometry{80, 40, 1024, 700};
    int mPanelSize = 220;          // template tree panel width
    int zPanelSize = 240;          // project tree panel width
    int gPanelSize = 180;          // archive tree panel height
};

// Fetches the user's OwnerConfig row into `cdsOwnerConfig` and returns the layout it holds. A user without a row
// (one added after the database was made) gets one with the default layout, written at once, so the login can go
// on.
WindowLayout LoadWindowLayoutData(TDataPoolDM& dm, const TLoginInfo& login, RowSet& cdsOwnerConfig);

// Stores the layout in the cached row and applies it when it changed. When `maximized`, IsNormal becomes false and
// the geometry stays as stored; a standard user's MPanelSize is left untouched.
void SaveWindowLayoutData(TDataPoolDM& dm, const TLoginInfo& login, RowSet& cdsOwnerConfig,
                          const WindowLayout& layout, bool maximized);
