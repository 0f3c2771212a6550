#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

// The one failure type of the system. An operation that cannot go on throws it with the Chinese message the user
// sees; the GUI's event loop shows it in an error box, the CLI prints it on stderr and exits 1. What the operation
// already wrote stays written.
class QuelmarError : public std::exception {
public:
    explicit QuelmarError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
