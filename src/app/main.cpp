#include "Version.h"
#include "app/AppStart.h"
#include "app/QuelmarApplication.h"
#include "cell/view/WidgetPrintBackend.h"

#include <QCommandLineParser>
#include <QFileInfo>

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
    QuelmarApplication::setUpProgram();
    cell::installWidgetPrintBackend();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quelmar 公路工程施工资料管理系统"));
    parser.addHelpOption();
    QCommandLineOption dir(QStringLiteral("dir"), QStringLiteral("程序文件夹（数据库与表格文件所在的文件夹）。"),
                           QStringLiteral("DIR"));
    parser.addOption(dir);
    QCommandLineOption db(QStringLiteral("db"),
                          QStringLiteral("数据库服务器（多人合用）：postgresql://用户@主机:端口/数据库。"), QStringLiteral("URL"));
    parser.addOption(db);
    parser.addPositionalArgument(QStringLiteral("文件"),
                                 QStringLiteral("登录后打开的文件：交换包（.gc .fb .fl .fx .jy .bg .mb .ys .cg）导入库中，"
                                                "表格文件（.cll）在库中选中或只读打开。"),
                                 QStringLiteral("[文件]"));
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("一次只能打开一个文件。")));
        return 2;
    }

    bool named = false;
    QuelmarShell shell(QuelmarShell::programFolder(parser.value(dir), &named));
    // Nobody named a folder and the user's own is not there yet: the program offers to make it.
    if (!named)
        shell.offerFirstStart();
    shell.setDatabaseOverride(parser.value(db));
    if (!parser.positionalArguments().isEmpty())
        shell.setFileToOpen(QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath());
    return shell.run();
}
