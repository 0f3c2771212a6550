#include "users/Login.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"

QString LoginFailedMessage()
{
    return QStringLiteral("系统无法让您登录。请确定您的用户名无误，然后再次输入密码。\r\n\r\n注：用户名及密码忽略大小写。");
}

bool TryLogin(TDataPoolDM& dm, const QString& name, const QString& password, TLoginInfo& info,
              bool rememberLastUser)
{
    if (!dm.UserExists(name, password))
        return false;
    TLoginInfo logged;
    logged.opName = name;
    logged.opType = dm.GetUserType(name);
    if (rememberLastUser)
        dm.SetLastUser(name);
    info = logged;
    return true;
}

void CheckUserType(const TLoginInfo& info)
{
    if (info.opType != UserType::Standard && info.opType != UserType::Advanced)
        throw QuelmarError(QStringLiteral("用户类型不明确！"));
}
