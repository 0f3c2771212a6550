// Handlers of the main window's actions whose operations are not built yet (see MainActions.h): each tells the
// user plainly that the function is not available. An operation's work replaces its handlers here with real ones
// in its own source file.
#include "app/MainFrm.h"

#define QUELMAR_PENDING_HANDLER(name)                                                                              \
    void TMainFrm::name##Execute() { notAvailable(QStringLiteral(#name)); }
QUELMAR_PENDING_ACTIONS(QUELMAR_PENDING_HANDLER)
#undef QUELMAR_PENDING_HANDLER

