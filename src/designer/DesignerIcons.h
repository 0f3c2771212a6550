#pragma once
#include <QIcon>
#include <QString>

namespace designer {

// The designer's toolbar and menu pictures, drawn in code (with greyed pixmaps for the disabled state), by a short
// key ("bold", "drawgrid", "insertrow", ...). An unknown key gives an empty icon.
QIcon designerIcon(const QString& key);

}
