#include "Version.h"
#include "app/AppStart.h"
#include "app/IconFactory.h"
#include "app/QuelmarApplication.h"
#include "cell/view/WidgetPrintBackend.h"

#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QFont>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // "--version" answers without a screen.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("Quelmar %s\n", QUELMAR_VERSION);
            return 0;
        }
    }

    QuelmarApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelmar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quelmar"));
    QApplication::setApplicationVersion(QStringLiteral(QUELMAR_VERSION));
    QApplication::setWindowIcon(IconFactory::appIcon());
    // Latin letters and digits in a Latin face, Chinese text in a CJK one.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(10);
    QApplication::setFont(font);

    cell::installWidgetPrintBackend();

    // Qt's own dialogs and context menus speak Chinese too (when Qt's translations are installed).
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quelmar 公路工程施工资料管理系统"));
    parser.addHelpOption();
    QCommandLineOption dir(QStringLiteral("dir"), QStringLiteral("程序文件夹（数据库与表格文件所在的文件夹）。"),
                           QStringLiteral("DIR"));
    parser.addOption(dir);
    parser.process(app);

    QuelmarShell shell(QuelmarShell::programFolder(parser.value(dir)));
    return shell.run();
}
