#include "app/FirstStartFrm.h"

#include "app/IconFactory.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "projects/SampleFolder.h"
#include "projects/SampleTemplate.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("创建程序目录");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// "~/x" as the shell would read it.
QString expanded(QString path)
{
    path = path.trimmed();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    return path;
}

}  // namespace

TFirstStartFrm::TFirstStartFrm(Prompter& prompter, const QString& proposal, QWidget* parent)
    : QDialog(parent), m_prompter(prompter)
{
    setWindowTitle(kCaption);
    setWindowIcon(IconFactory::appIcon());

    auto* picture = new QLabel;
    picture->setPixmap(IconFactory::appIcon().pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    auto* heading = new QLabel(QStringLiteral("欢迎使用 Quelmar 公路工程施工资料管理系统"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    auto* text = new QLabel(
        QStringLiteral("还没有找到您的程序目录。程序目录保存系统数据库、模板库和工程库的表格文件。\n\n"
                       "新建的程序目录带有示例模板“%1”，可以立即用它新建工程。"
                       "首次登录请使用用户名 Admin，密码为空。")
            .arg(SampleTemplateName()));
    text->setWordWrap(true);

    auto* label = new QLabel(QStringLiteral("程序目录位置(&D):"));
    m_edit = new QLineEdit(shown(proposal));
    m_edit->setMinimumWidth(360);
    label->setBuddy(m_edit);
    m_browse = new QPushButton(QStringLiteral("浏览(&B)..."));
    m_browse->setAutoDefault(false);
    auto* place = new QHBoxLayout;
    place->addWidget(m_edit, 1);
    place->addWidget(m_browse);

    m_create = new QPushButton(QStringLiteral("创建(&C)"));
    m_create->setDefault(true);
    m_open = new QPushButton(QStringLiteral("打开已有的程序目录(&O)..."));
    m_open->setAutoDefault(false);
    m_quit = new QPushButton(QStringLiteral("退出(&X)"));
    m_quit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addStretch(1);
    buttons->addWidget(m_create);
    buttons->addWidget(m_quit);

    auto* right = new QVBoxLayout;
    right->addWidget(heading);
    right->addSpacing(6);
    right->addWidget(text);
    right->addSpacing(10);
    right->addWidget(label);
    right->addLayout(place);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(8);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(14);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_browse, &QPushButton::clicked, this, &TFirstStartFrm::browse);
    connect(m_create, &QPushButton::clicked, this, &TFirstStartFrm::create);
    connect(m_open, &QPushButton::clicked, this, &TFirstStartFrm::openExisting);
    connect(m_quit, &QPushButton::clicked, this, &QDialog::reject);
}

void TFirstStartFrm::browse()
{
    // The folder chosen is where the new program folder goes: it gets the proposal's name inside it.
    const QString current = QDir::cleanPath(expanded(m_edit->text()));
    QString start = QFileInfo(current).absolutePath();
    if (!QFileInfo(start).isDir())
        start = QDir::homePath();
    const QString chosen = m_prompter.chooseFolder(QStringLiteral("选择新程序目录所在的文件夹"), start);
    if (chosen.isEmpty())
        return;
    QString name = QFileInfo(current).fileName();
    if (name.isEmpty())
        name = QStringLiteral("Quelmar");
    m_edit->setText(shown(chosen + QLatin1Char('/') + name));
}

void TFirstStartFrm::create()
{
    const QString dir = expanded(m_edit->text());
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir)) {
        m_prompter.warn(kCaption, QStringLiteral("请输入新程序目录的完整路径，例如 %1。").arg(shown(QDir::homePath() + QStringLiteral("/Quelmar"))));
        m_edit->setFocus();
        return;
    }
    // A program folder already there (made before, or by another program meanwhile) is simply used.
    if (HasProgramDatabase(dir)) {
        m_folder = QDir::cleanPath(dir);
        accept();
        return;
    }
    try {
        BusyCursor busy(m_prompter);
        m_prompter.status(QStringLiteral("正在创建程序目录..."));
        m_folder = CreateSampleProgramFolder(dir, InstalledSkeletonFolder()).AppDir;
    } catch (const QuelmarError& e) {
        m_prompter.error(kCaption, e.message());
        m_edit->setFocus();
        return;
    }
    m_prompter.inform(kCaption, QStringLiteral("已创建程序目录“%1”。\n\n首次登录请使用用户名 Admin，密码为空；"
                                               "登录后请在“工具”菜单中设置密码。")
                                    .arg(shown(m_folder)));
    accept();
}

void TFirstStartFrm::openExisting()
{
    const QString chosen = m_prompter.chooseFolder(QStringLiteral("打开已有的程序目录"), QDir::homePath());
    if (chosen.isEmpty())
        return;
    if (!HasProgramDatabase(chosen)) {
        m_prompter.warn(kCaption, QStringLiteral("“%1”不是程序目录：其中没有系统数据库 vesk.mdb。").arg(shown(chosen)));
        return;
    }
    m_folder = QDir::cleanPath(chosen);
    accept();
}

QString ShowFirstStartDialog(Prompter& prompter, const QString& proposal)
{
    TFirstStartFrm dialog(prompter, proposal);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.folder();
}
