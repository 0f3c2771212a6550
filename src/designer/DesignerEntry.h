#pragma once
// Opening table files in the designer: from the libraries (the main window's edit actions and double-click) and
// for a file that is none of the installation's own (shown read-only).
#include "designer/CellDesignerFrm.h"

#include <QString>

class QWidget;

namespace designer {

// One table file to open in the designer.
struct DesignerRequest {
    QString path;
    QString displayName;   // the caption's name
    int fillMode = 0;      // the node's header-fill record; 0: none
    bool readOnly = false;
    QString readOnlyNote;  // why it is read-only (shown in the caption)
};

// Creates the designer over `parent`, opens the file, shows it modally and destroys it when it closes. A file that
// cannot be read fails with the control's message before the window shows.
void RunDesigner(QWidget* parent, const DesignerServices& services, const DesignerRequest& request);

// A table file that is not one of the installation's own: shown in the designer read-only (no save; the caption
// says so; nothing the user does to it is kept). Missing: "文件 %s 不存在。"; unreadable: the control's message.
void OpenTableFileReadOnly(QWidget* parent, const QString& path);

}  // namespace designer
