#pragma once
#include "store/DatabaseLocation.h"

#include <QString>

// The suite runs twice: against SQLite files, and (scripts/test's second run) against a private PostgreSQL server
// whose socket folder $QUELMAR_TEST_POSTGRES names. On the server each program folder gets a schema of its own.

// Whether this run is against the server.
bool TestOnServer();
// A fresh, empty schema on the test server (not made yet: init makes it).
DatabaseLocation NewTestServerLocation();
// Drops the schema and everything in it.
void DropTestSchema(const DatabaseLocation& location);

// Skips a test that is about SQLite files alone.
#define QUELMAR_SQLITE_ONLY()                                                                                       \
    do {                                                                                                            \
        if (TestOnServer())                                                                                         \
            QSKIP("about the SQLite database file only");                                                           \
    } while (false)
