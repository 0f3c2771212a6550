#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelmar"));
    QLabel label(QStringLiteral("Quelmar"));
    label.show();
    return app.exec();
}
