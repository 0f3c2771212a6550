#include "designer/DesignerEntry.h"

#include "app/WidgetPrompter.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFileInfo>

namespace designer {

void RunDesigner(QWidget* parent, const DesignerServices& services, const DesignerRequest& request)
{
    DesignerServices s = services;
    // The program's own prompter gets one of the designer's: its boxes belong to the designer, which covers the
    // main window.
    WidgetPrompter own;
    const bool widgets = dynamic_cast<WidgetPrompter*>(services.prompter) != nullptr;
    if (widgets)
        s.prompter = &own;
    TCellDesignerFrm designer(s, parent);
    if (widgets)
        own.setParentWidget(&designer);
    if (!designer.openFile(request.path, request.displayName, request.fillMode)) {
        const QString why = designer.Cell1().errorString();
        throw QuelmarError(why.isEmpty()
                               ? QStringLiteral("无法打开表格文件“%1”。").arg(QDir::toNativeSeparators(request.path))
                               : why);
    }
    if (request.readOnly)
        designer.setReadOnly(request.readOnlyNote);
    designer.exec();
}

void OpenTableFileReadOnly(QWidget* parent, const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("文件 %1 不存在。").arg(QDir::toNativeSeparators(path)));
    WidgetPrompter prompter;
    DesignerServices s;
    s.prompter = &prompter;
    DesignerRequest r;
    r.path = path;
    r.displayName = QFileInfo(path).fileName();
    r.readOnly = true;
    RunDesigner(parent, s, r);
}

}  // namespace designer
