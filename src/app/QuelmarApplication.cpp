#include "app/QuelmarApplication.h"

#include "Version.h"
#include "app/IconFactory.h"
#include "core/QuelmarError.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <exception>

namespace {

std::function<void(const QString&)>& errorSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

}  // namespace

QuelmarApplication::QuelmarApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void QuelmarApplication::setUpProgram()
{
    QApplication::setApplicationName(QStringLiteral("Quelmar"));
    QApplication::setApplicationVersion(QStringLiteral(QUELMAR_VERSION));
    QApplication::setWindowIcon(IconFactory::appIcon());
    // Latin letters and digits in a Latin face, Chinese text in a CJK one.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(10);
    QApplication::setFont(font);

    // The desktop entry the windows belong to (task bar icon and name on Wayland and in the desktop's menus).
    QGuiApplication::setDesktopFileName(QStringLiteral("quelmar"));

    // Qt's own dialogs and context menus speak Chinese too (when Qt's translations are installed).
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    installQtTranslation();
}

QString QuelmarApplication::installQtTranslation()
{
    static QTranslator* installed = nullptr;
    if (installed)
        return installed->filePath();
    // Qt's own texts (standard buttons, file, print, colour and font dialogs, context menus) are Qt's base module's:
    // "qtbase_zh_CN.qm" of qt6-translations-l10n, in Qt's translations folder.
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QApplication::installTranslator(translator)) {
        delete translator;
        return QString();
    }
    installed = translator;
    return installed->filePath();
}

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
