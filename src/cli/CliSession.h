#pragma once
#include <QString>

class CliContext;

// The CLI's logged-in session over a program folder: runs the installation checks, opens the data module and logs
// in with the rules of the login dialog (without touching the last user's name). Throws the login's message.
class CliSession {
public:
    explicit CliSession(CliContext& ctx);
    ~CliSession();

    // Filled by the foundation work: the data module, the login info, the program paths.
};
