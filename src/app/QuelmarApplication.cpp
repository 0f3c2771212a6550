#include "app/QuelmarApplication.h"

#include "core/QuelmarError.h"

#include <QMessageBox>

#include <exception>

namespace {

std::function<void(const QString&)>& errorSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

}  // namespace

QuelmarApplication::QuelmarApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void QuelmarApplication::setErrorSink(std::function<void(const QString&)> sink)
{
    errorSink() = std::move(sink);
}

void QuelmarApplication::reportError(const QString& message)
{
    if (errorSink()) {
        errorSink()(message);
        return;
    }
    // The hourglass of the failed operation must not stay over the error box.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quelmar"), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

bool QuelmarApplication::guarded(const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const QuelmarError& e) {
        reportError(e.message());
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool QuelmarApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
