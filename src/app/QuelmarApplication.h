#pragma once
#include <QApplication>

#include <functional>

// The desktop program's application object. Every failure that leaves an event handler (a QuelmarError of an
// operation, or any other exception) is shown in an error box and the event loop goes on: no failure of an
// operation ends the program.
class QuelmarApplication final : public QApplication {
    Q_OBJECT
public:
    QuelmarApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The program's application settings, made once after the application object: the name "Quelmar" (the title
    // that message boxes without a caption of their own and the task bar show), version, icon, fonts, and Qt's own
    // texts in Chinese. No application display name is set: Qt would append " — Quelmar" to every window's title,
    // and every caption must read exactly as the program sets it.
    static void setUpProgram();
    // Installs Qt's own Chinese texts (once); the file loaded, empty when Qt's translations are not installed.
    static QString installQtTranslation();

    // Runs `work` and shows a failure in an error box; true when it finished. Used where a failure must be
    // reported outside an event handler (start-up steps, tests).
    static bool guarded(const std::function<void()>& work);

    // How a failure is shown (an error box by default; tests record it instead).
    static void setErrorSink(std::function<void(const QString&)> sink);
    static void reportError(const QString& message);
};
