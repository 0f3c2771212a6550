#pragma once
#include <QString>

class TDataPoolDM;

// The logged-in user: the login name exactly as typed (not trimmed, not lower-cased) and the user type (0 standard,
// 1 advanced). Unchanged until the next login, except when the user renames himself in user management.
struct TLoginInfo {
    QString opName;
    int opType = 0;
    bool isAdvanced() const { return opType == 1; }
};

namespace UserType {
constexpr int Standard = 0;
constexpr int Advanced = 1;
}

// The information shown when a login attempt fails.
QString LoginFailedMessage();

// The login dialog's rule: when a user of that name (case-free, blanks significant) has that password (case-free;
// no password equals an empty one), fills `info` with the name as typed and the user's type, stores the name as the
// last user when `rememberLastUser` (the desktop program does, the CLI does not) and returns true. Otherwise
// returns false and changes nothing.
bool TryLogin(TDataPoolDM& dm, const QString& name, const QString& password, TLoginInfo& info,
              bool rememberLastUser);

// The per-user load accepts only the two known user types: anything else fails with "用户类型不明确！".
void CheckUserType(const TLoginInfo& info);
