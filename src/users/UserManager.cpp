#include "users/UserManager.h"

#include "core/PasswordHash.h"
#include "core/QuelmarError.h"
#include "core/TextFold.h"
#include "store/DataPool.h"

#include <algorithm>

namespace {

const QString colName = QStringLiteral("opName");
const QString colFullName = QStringLiteral("opFullName");
const QString colDes = QStringLiteral("opDes");
const QString colPassword = QStringLiteral("opPassword");
const QString colType = QStringLiteral("opType");

QVariant storedPassword(const QString& password)
{
    const QString hash = PasswordHash::hash(password);
    return hash.isEmpty() ? QVariant() : QVariant(hash);
}

UserRefusal refusal(Prompter::Icon icon, const QString& caption, const QString& text)
{
    return UserRefusal{icon, caption, text};
}

QString lastAdvancedNote()
{
    return QStringLiteral("系统中至少要保留一个高级用户，才能管理用户和模板库。");
}

} // namespace

void UserRefusal::show(Prompter& prompter) const
{
    if (!text.isEmpty())
        prompter.message(icon, caption, text);
}

// ---- rules ----------------------------------------------------------------------------------------------------

namespace UserRules {

QString Caption()
{
    return QStringLiteral("用户和密码");
}

QString WizardCaption()
{
    return QStringLiteral("添加用户向导");
}

bool IsValidUserName(const QString& name)
{
    const QString t = name.trimmed();
    if (t.isEmpty())
        return false;
    static const QString forbidden = QStringLiteral("*+,/:;<=>?[\\]|\"");
    return std::none_of(t.begin(), t.end(), [](QChar c) { return forbidden.contains(c); });
}

QString InvalidNameMessage()
{
    return QStringLiteral("您输入的用户名称无效。用户名称不能包含下列字符中的任何一个：\r\n*+,/:;<=>?[\\]|\"");
}

bool IsReservedUserName(const QString& name)
{
    const QString f = foldCase(name);
    return f == foldCase(QStringLiteral("Guest")) || f == foldCase(QStringLiteral("Admin"))
        || f == foldCase(QStringLiteral("System"));
}

bool IsSharingName(const QString& name)
{
    return equalsFolded(name.trimmed(), QStringLiteral("Everyone"));
}

QString TypeCaption(int type)
{
    return type == UserType::Advanced ? QStringLiteral("高级用户(&R)") : QStringLiteral("标准用户(&S)");
}

QString TypeDescription(int type)
{
    if (type == UserType::Advanced)
        return QStringLiteral("用户也可以创建自已工程，修改及删除工程；还可以对工程文件进行归档。此外，用户可以添加新的"
                              "操作员，可以对维护系统的模板库。");
    return QStringLiteral("用户可以创建工程，修改及删除工程的权限，还可以对工程的文件进行归档，但不可以编辑模板文件与"
                          "修改、删除用户。");
}

UserRefusal WizardPasswordRefusal(const QString& password, const QString& confirmation)
{
    if (password == confirmation)
        return {};
    return refusal(Prompter::Icon::Error, WizardCaption(),
                   QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该账户的密码。"));
}

UserRefusal SetPasswordRefusal(const QString& password, const QString& confirmation)
{
    if (password == confirmation)
        return {};
    return refusal(Prompter::Icon::Error, QStringLiteral("设置用户密码"),
                   QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该帐户的密码。"));
}

} // namespace UserRules

// ---- the manager ----------------------------------------------------------------------------------------------

UserManager::UserManager(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter)
    : m_dm(dm), m_login(login), m_prompter(prompter)
{
}

void UserManager::Load()
{
    if (!m_login.isAdvanced())
        throw QuelmarError(QStringLiteral("只有高级用户才能管理用户和密码。"));
    RowSet rows(colName);
    rows.load(m_dm.GetCzyData(), colName);
    cdsCzy = std::move(rows);
    if (rowOf(m_login.opName) < 0)
        throw QuelmarError(QStringLiteral("当前登录用户不存在用户列表中。"));
}

RowSet::RowId UserManager::rowOf(const QString& name) const
{
    const QString folded = foldCase(name);
    for (RowSet::RowId id : cdsCzy.allRows())
        if (foldCase(cdsCzy.value(id, colName).toString()) == folded)
            return id;
    return -1;
}

UserAccount UserManager::accountOf(RowSet::RowId id) const
{
    UserAccount a;
    a.name = cdsCzy.value(id, colName).toString();
    a.fullName = cdsCzy.value(id, colFullName).toString();
    a.description = cdsCzy.value(id, colDes).toString();
    const QVariant type = cdsCzy.value(id, colType);
    a.type = type.isNull() ? -1 : type.toInt();
    return a;
}

QList<UserAccount> UserManager::accounts() const
{
    QList<UserAccount> list;
    if (!cdsCzy.isOpen())
        return list;
    for (RowSet::RowId id : cdsCzy.allRows())
        list << accountOf(id);
    std::stable_sort(list.begin(), list.end(), [](const UserAccount& a, const UserAccount& b) {
        const QString fa = foldCase(a.name), fb = foldCase(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    return list;
}

int UserManager::indexOf(const QString& name) const
{
    const QList<UserAccount> list = accounts();
    for (int i = 0; i < list.size(); ++i)
        if (equalsFolded(list[i].name, name))
            return i;
    return -1;
}

std::optional<UserAccount> UserManager::account(const QString& name) const
{
    const RowSet::RowId id = rowOf(name);
    if (id < 0)
        return std::nullopt;
    return accountOf(id);
}

bool UserManager::isLoggedIn(const QString& name) const
{
    return equalsFolded(name, m_login.opName);
}

int UserManager::advancedCount() const
{
    int n = 0;
    for (RowSet::RowId id : cdsCzy.allRows())
        if (cdsCzy.value(id, colType).toInt() == UserType::Advanced && !cdsCzy.value(id, colType).isNull())
            ++n;
    return n;
}

void UserManager::applyOrRestore()
{
    if (!cdsCzy.hasChanges())
        return;
    try {
        m_dm.ApplyUserAccountUpdates(cdsCzy.changeLog());
    } catch (...) {
        cdsCzy.cancelUpdates();
        throw;
    }
    cdsCzy.merge();
}

void UserManager::checkLengths(const UserAccount& a) const
{
    if (a.name.trimmed().size() > UserRules::MaxName)
        throw QuelmarError(QStringLiteral("用户名不能超过 %1 个字符。").arg(UserRules::MaxName));
    if (a.fullName.trimmed().size() > UserRules::MaxFullName)
        throw QuelmarError(QStringLiteral("全名不能超过 %1 个字符。").arg(UserRules::MaxFullName));
    if (a.description.trimmed().size() > UserRules::MaxDescription)
        throw QuelmarError(QStringLiteral("说明不能超过 %1 个字符。").arg(UserRules::MaxDescription));
    if (a.type != UserType::Standard && a.type != UserType::Advanced)
        throw QuelmarError(QStringLiteral("用户的类别有误！"));
}

// ---- add ----

UserRefusal UserManager::NewNameRefusal(const QString& name) const
{
    if (!UserRules::IsValidUserName(name))
        return refusal(Prompter::Icon::Error, UserRules::Caption(), UserRules::InvalidNameMessage());
    const QString t = name.trimmed();
    if (UserRules::IsSharingName(t))
        return refusal(Prompter::Icon::Error, UserRules::Caption(),
                       QStringLiteral("“%1”是系统表示“所有用户”的名称，不能用作用户名。").arg(t));
    if (rowOf(t) >= 0)
        return refusal(Prompter::Icon::Information, UserRules::WizardCaption(),
                       QStringLiteral("无法添加用户") + t + QStringLiteral("，因为该用户已经有权使用本系统。"));
    return {};
}

QString UserManager::AddUser(const UserAccount& a, const QString& password)
{
    if (const UserRefusal r = NewNameRefusal(a.name))
        throw QuelmarError(r.text);
    checkLengths(a);
    if (password.size() > UserRules::MaxPassword)
        throw QuelmarError(QStringLiteral("密码不能超过 %1 个字符。").arg(UserRules::MaxPassword));
    const QString name = a.name.trimmed();
    BusyCursor busy(m_prompter);
    cdsCzy.append({{colName, name},
                   {colFullName, a.fullName.trimmed()},
                   {colDes, a.description.trimmed()},
                   {colPassword, storedPassword(password)},
                   {colType, a.type}});
    applyOrRestore();
    return name;
}

// ---- delete ----

bool UserManager::DeleteUser(const QString& name)
{
    const QString caption = UserRules::Caption();
    if (isLoggedIn(name)) {
        m_prompter.inform(caption, QStringLiteral("无法删除用户 ") + name + QStringLiteral(", 用户正在使用中。"));
        return false;
    }
    if (!m_prompter.confirm(caption, QStringLiteral("您已选择将 ") + name + QStringLiteral(" 从本机用户列表中删除。")
                                         + name + QStringLiteral(" 将不再允许使用本系统。\r\n\r\n是否要删除 ")
                                         + name + QStringLiteral("？")))
        return false;
    if (UserRules::IsReservedUserName(name)) {
        m_prompter.error(caption, QStringLiteral("无法删除用户 ") + name + QStringLiteral("(系统保留)。"));
        return false;
    }
    const RowSet::RowId id = rowOf(name);
    if (id < 0)
        throw QuelmarError(QStringLiteral("要删除的用户已经被删除掉了。"));
    // Without an advanced account nobody could manage users or templates again.
    if (cdsCzy.value(id, colType).toInt() == UserType::Advanced && advancedCount() <= 1) {
        m_prompter.error(caption, QStringLiteral("无法删除用户 ") + name + QStringLiteral("：这是最后一个高级用户。")
                                      + lastAdvancedNote());
        return false;
    }
    BusyCursor busy(m_prompter);
    cdsCzy.remove(id);
    applyOrRestore();
    return true;
}

// ---- properties ----

UserAccount UserManager::PropertiesOf(const QString& name) const
{
    const RowSet::RowId id = rowOf(name);
    if (id < 0)
        throw QuelmarError(QStringLiteral("被选中的用户不在后台中。"));
    const UserAccount a = accountOf(id);
    if (a.type != UserType::Standard && a.type != UserType::Advanced)
        throw QuelmarError(QStringLiteral("用户的类别有误！"));
    return a;
}

UserRefusal UserManager::PropertiesRefusal(const QString& name, const UserAccount& edited) const
{
    const UserRefusal nameRefused = refusal(Prompter::Icon::Error, UserRules::Caption(),
                                            QStringLiteral("无法更改 ") + name + QStringLiteral(" 的用户名。"));
    const QString newName = edited.name.trimmed();
    if (!UserRules::IsValidUserName(newName))
        return nameRefused;
    const RowSet::RowId self = rowOf(name);
    const RowSet::RowId other = rowOf(newName);
    if (other >= 0 && other != self)
        return nameRefused;
    if (UserRules::IsSharingName(newName) && !UserRules::IsSharingName(name))
        return nameRefused;
    if (self >= 0 && cdsCzy.value(self, colType).toInt() == UserType::Advanced
        && edited.type != UserType::Advanced && advancedCount() <= 1)
        return refusal(Prompter::Icon::Error, UserRules::Caption(),
                       QStringLiteral("无法把用户 ") + name + QStringLiteral(" 改为标准用户：这是最后一个高级用户。")
                           + lastAdvancedNote());
    return {};
}

QString UserManager::WriteProperties(const QString& name, const UserAccount& edited)
{
    const RowSet::RowId id = rowOf(name);
    if (id < 0)
        throw QuelmarError(QStringLiteral("被选中的用户不在后台中。"));
    if (const UserRefusal r = PropertiesRefusal(name, edited))
        throw QuelmarError(r.text);
    checkLengths(edited);
    BusyCursor busy(m_prompter);
    const UserAccount stored = accountOf(id);
    const bool own = isLoggedIn(stored.name);
    const QString newName = edited.name.trimmed();
    // A change of letter case alone is not a new name.
    const bool renamed = !equalsFolded(newName, stored.name);
    const bool typeChanged = edited.type != stored.type;
    if (renamed)
        cdsCzy.setValue(id, colName, newName);
    cdsCzy.setValue(id, colFullName, edited.fullName.trimmed());
    cdsCzy.setValue(id, colDes, edited.description.trimmed());
    if (typeChanged)
        cdsCzy.setValue(id, colType, edited.type);
    applyOrRestore();
    if (renamed && own) {
        // The rows moved with the account inside the apply; the hook brings the cached copies along.
        try {
            if (m_ownRename)
                m_ownRename(newName);
        } catch (...) {
            m_login.opName = newName;
            throw;
        }
        m_login.opName = newName;
    }
    if (typeChanged && own)
        m_prompter.inform(QStringLiteral("用户权限"),
                          QStringLiteral("用户 ") + stored.name + QStringLiteral(" 权限有变化，必须重新登录或注销可以应用。"));
    return renamed ? newName : stored.name;
}

// ---- set password ----

void UserManager::SetPassword(const QString& name, const QString& password)
{
    const RowSet::RowId id = rowOf(name);
    if (id < 0)
        throw QuelmarError(QStringLiteral("要修改密码的用户已经不存在后台表中。"));
    if (password.size() > UserRules::MaxPassword)
        throw QuelmarError(QStringLiteral("密码不能超过 %1 个字符。").arg(UserRules::MaxPassword));
    const QString stored = cdsCzy.value(id, colPassword).toString();
    // The same password again changes nothing; a stored clear-text password is replaced by its hash.
    if (PasswordHash::matches(stored, password) && (stored.isEmpty() || PasswordHash::isHash(stored)))
        return;
    BusyCursor busy(m_prompter);
    cdsCzy.setValue(id, colPassword, storedPassword(password));
    applyOrRestore();
}
