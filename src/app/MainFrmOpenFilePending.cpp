// What opening a file needs from work that is not in the program yet: the import of a package file and the
// designer's read-only view. Each tells the user plainly that it is not available; the import and the designer
// replace them with their own.
#include "app/MainFrm.h"

#include "core/Prompter.h"

#include <QDir>

void TMainFrm::ImportPackageFile(const QString& path)
{
    prompter().inform(QStringLiteral("Quelmar"),
                      QStringLiteral("导入交换包的功能尚未完成，这一版本还不能导入“%1”。")
                          .arg(QDir::toNativeSeparators(path)));
}

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
