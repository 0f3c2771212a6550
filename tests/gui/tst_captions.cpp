// The titles of the program's windows and boxes, walked through one session as a user has it: the real login
// dialog (a wrong password first), the main window, the New name dialogs, the fill positions, rename, the delete
// box, an error box, the option lists with their name box, the default overview, the project wizard, the about box,
// the readme, log-out with the login again, and the close question. Each title must read exactly as the program
// sets it: the application carries no display name, which would make Qt append " — Quelmar" to every one.
#include "app/AppStart.h"
#include "app/AutoFillRangeFrm.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "cell/CellControl.h"
#include "support/ModalWalker.h"
#include "support/ProgramFolderFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

namespace {

// Whether a display name was set: applicationDisplayName() follows the application name only while none is.
bool displayNameSet()
{
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe-name"));
    const bool set = QGuiApplication::applicationDisplayName() != QStringLiteral("probe-name");
    QCoreApplication::setApplicationName(name);
    return set;
}

ModalWalker::Step login(const QString& name, const QString& password)
{
    return [name, password](QWidget* w) {
        auto* dialog = qobject_cast<TLoginFrm*>(w);
        if (!dialog) {
            ModalWalker::close(w);
            return;
        }
        dialog->nameEdit()->setText(name);
        dialog->passwordEdit()->setText(password);
        dialog->loginButton()->click();
    };
}

ModalWalker::Step typeName(const QString& text)
{
    return [text](QWidget* w) {
        if (auto* input = qobject_cast<QInputDialog*>(w)) {
            input->setTextValue(text);
            input->accept();
        } else {
            ModalWalker::close(w);
        }
    };
}

// Ticks field 1 with the whole reference in the column box and an empty row box, then confirms.
ModalWalker::Step badFillPosition()
{
    return [](QWidget* w) {
        const QList<QCheckBox*> checks = w->findChildren<QCheckBox*>();
        const QList<QLineEdit*> edits = w->findChildren<QLineEdit*>();
        if (checks.isEmpty() || edits.size() < 2) {
            ModalWalker::close(w);
            return;
        }
        checks.first()->setChecked(true);
        edits.at(0)->clear();                         // row box of field 1
        edits.at(1)->setText(QStringLiteral("B8"));   // column box of field 1
        ModalWalker::click(QStringLiteral("确定"))(w);
    };
}

}  // namespace

class TestCaptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sessionTitles();
};

void TestCaptions::initTestCase()
{
    QuelmarApplication::setUpProgram();
    QVERIFY(!displayNameSet());
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quelmar"));
}

void TestCaptions::sessionTitles()
{
    ProgramFolderFixture folder;
    folder.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("G318改建工程"), 0, 1), QStringLiteral("Admin"));
    QVERIFY(QDir().mkpath(folder.paths().ZiLiaoFolderPath(1)));

    ModalWalker walker;
    walker.then(login(QStringLiteral("Admin"), QStringLiteral("wrong")))
        .then(ModalWalker::click(QStringLiteral("确定")))
        .then(login(QStringLiteral("Admin"), QString()));

    QuelmarShell shell(folder.paths().AppDir);   // the program's own prompter: message boxes and input boxes
    QVERIFY(shell.start());
    TMainFrm* main = shell.mainWindow();
    QCOMPARE(main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);

    auto trigger = [&](Library lib, const char* name) {
        QAction* a = main->actions(lib).action(QString::fromLatin1(name));
        QVERIFY2(a && a->isEnabled(), name);
        a->trigger();
    };
    LibraryData& ziLiao = main->library(Library::ZiLiao);

    // A division, a data category and a sub-item under the project, named in the New dialogs.
    main->selectNode(Library::ZiLiao, ziLiao.tree.indexOfItem(2));
    walker.then(typeName(QStringLiteral("路基工程")));
    trigger(Library::ZiLiao, "ZiLiaoNewTypeID3");
    walker.then(typeName(QStringLiteral("土方路基")));
    trigger(Library::ZiLiao, "ZiLiaoNewTypeID4");
    walker.then(typeName(QStringLiteral("压实度检验")));
    trigger(Library::ZiLiao, "ZiLiaoNewTypeID5");
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);
    const NodeRecord subItem = ziLiao.tree.record(main->selectedNode(Library::ZiLiao));
    QCOMPARE(subItem.TypeID, 5);

    // The fill positions of the sub-item: a refused position, its message, then cancel.
    walker.then(badFillPosition()).then(ModalWalker::click(QStringLiteral("确定"))).then(ModalWalker::reject());
    cell::CellControl form;
    QCOMPARE(form.OpenFile(main->nodeFilePath(Library::ZiLiao, subItem), cell::tableFilePassword()), 1);
    QuelmarApplication::guarded([&] {
        RunFillPositions(main->dataModule(), main->prompter(), main, subItem.FillMode, form);
    });
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);

    // Rename (cancelled), the recycle question (no), an error box.
    walker.then(ModalWalker::reject());
    trigger(Library::ZiLiao, "ZiLiaoRename");
    walker.then(ModalWalker::click(QStringLiteral("否(&N)")));
    trigger(Library::ZiLiao, "ZiLiaoDeleteNode");
    main->selectNode(Library::ZiLiao, ziLiao.recycleNode());
    walker.then(ModalWalker::click(QStringLiteral("确定")));
    QuelmarApplication::guarded([&] { main->ZiLiaoClearRecycleExecute(); });   // "空的！"
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);

    // The option lists with their name box, the default overview, the project wizard, about and readme.
    walker.then(ModalWalker::click(QStringLiteral("新建(&N)..."))).then(ModalWalker::reject()).then(ModalWalker::reject());
    main->miGkxxConfig->trigger();
    walker.then(ModalWalker::reject());
    trigger(Library::ZiLiao, "ZiLiaoDefaultProjectMsg");
    main->selectNode(Library::ZiLiao, ziLiao.tree.index(0, 0));
    walker.then(ModalWalker::reject());
    trigger(Library::ZiLiao, "ZiLiaoNewTypeID1");
    walker.then(ModalWalker::reject());
    main->miAbout->trigger();
    walker.then(ModalWalker::reject());
    main->miReadme->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);

    // Log-out and in again, then the close question.
    walker.then(ModalWalker::click(QStringLiteral("是(&Y)"))).then(login(QStringLiteral("Admin"), QString()));
    main->miLogout->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(main->isVisible(), 60000);
    walker.then(ModalWalker::click(QStringLiteral("是(&Y)")));
    main->close();
    QTRY_VERIFY_WITH_TIMEOUT(walker.done(), 60000);
    QVERIFY(!main->isVisible());

    QVERIFY2(walker.unexpected.isEmpty(), qPrintable(walker.unexpected.join(QStringLiteral(", "))));
    const QStringList expected = {
        QStringLiteral("登录到系统"),       // the login dialog
        QStringLiteral("Quelmar"),          // "系统无法让您登录。..."
        QStringLiteral("登录到系统"),
        QStringLiteral("新建分部"),         // the New name dialogs
        QStringLiteral("新建分类"),
        QStringLiteral("新建分项"),
        QStringLiteral("填写位置"),         // fill positions, its message, the dialog again
        QStringLiteral("Quelmar"),
        QStringLiteral("填写位置"),
        QStringLiteral("重命名"),
        QStringLiteral("确认删除"),         // TDeleteBoxFrm
        QStringLiteral("Quelmar"),          // the error box of a failed operation
        QStringLiteral("维护工程概况选项"), // option lists, their "新建" box, the dialog again
        QStringLiteral("新建"),
        QStringLiteral("维护工程概况选项"),
        QStringLiteral("工程概况"),         // the default overview
        QStringLiteral("新建项目"),         // the project wizard
        QStringLiteral("关于 Quelmar"),
        QStringLiteral("Readme.txt - 自述文件"),
        QStringLiteral("注销系统"),
        QStringLiteral("登录到系统"),
        QStringLiteral("确认"),             // "您要退出系统吗？"
    };
    QCOMPARE(walker.titles, expected);
    QCOMPARE(main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
