#include "app/FlashFrm.h"

#include "app/IconFactory.h"
#include "Version.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>

TFlashFrm::TFlashFrm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(IconFactory::splashPixmap(QStringLiteral(QUELMAR_VERSION), QStringLiteral("正在加载用户资料，请稍候...")))
{
    setFixedSize(400, 245);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    refresh();
}

void TFlashFrm::refresh()
{
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFlashFrm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}
