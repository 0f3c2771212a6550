#include "designer/ControlDialogs.h"

#include <QMessageBox>

namespace designer {

// Until the control's dialogs are built, the designer says plainly that this one is not there yet.
bool RunControlDialog(QWidget* parent, cell::CellControl&, ControlDialog, int)
{
    QMessageBox::information(parent, QStringLiteral("Quelmar"), QStringLiteral("此功能尚未提供。"));
    return false;
}

}
