#pragma once
#include "users/UserManager.h"

#include <QDialog>

class Prompter;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// "<name> 属性": the pages "常规" (name, full name, description) and "权限" (the user type) of one account.
// "确定" and "应用(&A)" check the values (an invalid name, another account's name, the last advanced account made
// standard are refused with a message and the dialog stays) and write them through the user manager; "应用(&A)" is
// enabled by any change and disables itself once applied; "取消" closes without writing anything more.
class TUserPropertyFrm final : public QDialog {
    Q_OBJECT
public:
    // Opens for the account `name`; fails as UserManager::PropertiesOf does.
    TUserPropertyFrm(UserManager& manager, const QString& name, Prompter& prompter, QWidget* parent = nullptr);

    // Whether "确定" or "应用(&A)" wrote the account.
    bool changed() const { return m_changed; }
    // The account's name now (after a rename).
    QString accountName() const { return m_name; }

    // "确定" / "应用(&A)": true when the values were accepted and written.
    bool ok();
    bool applyChanges();

    QTabWidget* pcPages = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtFullName = nullptr;
    QLineEdit* edtDescription = nullptr;
    QRadioButton* rbStandard = nullptr;
    QRadioButton* rbAdvanced = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;

private:
    UserAccount edited() const;
    void load(const UserAccount& account);

    UserManager& m_manager;
    Prompter& m_prompter;
    QString m_name;
    bool m_changed = false;
    bool m_loading = false;
};
