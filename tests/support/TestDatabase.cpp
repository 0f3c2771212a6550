#include "support/TestDatabase.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

bool TestOnServer()
{
    return !qEnvironmentVariable("QUELMAR_TEST_POSTGRES").isEmpty();
}

DatabaseLocation NewTestServerLocation()
{
    DatabaseLocation l;
    l.engine = DatabaseLocation::Engine::Postgres;
    l.host = qEnvironmentVariable("QUELMAR_TEST_POSTGRES");
    l.port = qEnvironmentVariableIntValue("QUELMAR_TEST_POSTGRES_PORT");
    if (l.port == 0)
        l.port = 5432;
    l.database = QStringLiteral("quelmar");
    l.user = QStringLiteral("quelmar");
    l.schema = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    return l;
}

void DropTestSchema(const DatabaseLocation& location)
{
    const QString name = QStringLiteral("drop-") + location.schema;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setDatabaseName(location.database);
        db.setUserName(location.user);
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(location.schema));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
