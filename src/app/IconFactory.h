#pragma once
#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own artwork, drawn in code so that every picture ships with the sources: the node images of the
// three libraries (by their image index), one icon per action, the splash picture and the status-bar user image.
// Every icon carries an explicit greyed pixmap for its disabled state, so a disabled action shows a grey icon in
// menus and toolbars alike.
namespace IconFactory {

// The node image with the given index of the shared image list (0 template, 1 folder, 2 data category,
// 3 form style, 12 library root, 13 project, 14 filled form, 31 cabinet, 32/33 recycle bin empty/full,
// 41..46 documents by extension, 15/25 overview enabled/disabled). Unknown indexes give a plain page.
QIcon nodeIcon(int index);

// The icon of an action, by a short name ("new", "import", "export", "edit", "rename", "delete", "print",
// "printdlg", "preview", "up", "down", "quickadd", "saveasstyle", "save", "find", "overview", "defaultoverview",
// "showtree", "archiveview", "hide", "users", "logout", "exit", "readme", "about", "clearrecycle", "open",
// "template", "project", "options"). Unknown names give an empty icon.
QIcon actionIcon(const QString& name);

// The 400 x 245 splash picture; `note` (e.g. "正在加载用户资料，请稍候...") on a light band at the bottom.
QPixmap splashPixmap(const QString& version, const QString& note = QString());

// The small user picture drawn at the left of the current-user status panel.
QPixmap userPixmap(int size);

// The program's window icon.
QIcon appIcon();

// A greyed copy of a pixmap (what a disabled action shows).
QPixmap greyed(const QPixmap& pm);

}  // namespace IconFactory
