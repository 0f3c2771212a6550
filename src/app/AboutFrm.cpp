#include "app/AboutFrm.h"

#include "app/IconFactory.h"
#include "Version.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAboutFrm::TAboutFrm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 Quelmar"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* picture = new QLabel;
    picture->setPixmap(IconFactory::splashPixmap(QStringLiteral(QUELMAR_VERSION)));
    auto* text = new QLabel(
        QStringLiteral("<b>Quelmar</b> 公路工程施工资料管理系统<br>版本 %1<br><br>"
                       "管理公路工程施工中的检验表格、登记表和报告：按模板创建工程，填写、打印并归档。")
            .arg(QStringLiteral(QUELMAR_VERSION)));
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(text);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TReadmeFrm::TReadmeFrm(const QString& path, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("%1 - 自述文件").arg(QFileInfo(path).fileName()));
    m_text = new QPlainTextEdit;
    m_text->setReadOnly(true);
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        m_text->setPlainText(QString::fromUtf8(f.readAll()));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    resize(640, 480);
}

QString TReadmeFrm::text() const
{
    return m_text->toPlainText();
}
