// What opening a file needs from work that is not in the program yet: the designer's read-only view of a table
// file. It tells the user plainly that it is not available; the designer replaces it with its own.
#include "app/MainFrm.h"

#include "core/Prompter.h"

#include <QDir>

namespace designer {

void OpenTableFileReadOnly(QWidget* parent, const QString& path)
{
    auto* main = qobject_cast<TMainFrm*>(parent);
    if (!main)
        return;
    main->prompter().inform(QStringLiteral("Quelmar"),
                            QStringLiteral("以只读方式查看表格文件的功能尚未完成，这一版本还不能打开“%1”。")
                                .arg(QDir::toNativeSeparators(path)));
}

}  // namespace designer
