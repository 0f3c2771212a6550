#pragma once
#include "users/UserManager.h"

#include <QDialog>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

// "添加新用户": the add-user wizard. Page one the name, full name and description ("下一步(&N)" only with a name;
// an invalid or existing name is refused there), page two the password twice, page three the user type ("完成(&F)").
// The rules are the user manager's; the wizard only asks.
class TAddUserFrm final : public QDialog {
    Q_OBJECT
public:
    TAddUserFrm(const UserManager& manager, Prompter& prompter, QWidget* parent = nullptr);

    // After "完成(&F)": the account as typed (the manager trims it) and the password.
    UserAccount account() const;
    QString password() const;

    int page() const;
    void next();
    void back();

    QLineEdit* edtName = nullptr;
    QLineEdit* edtFullName = nullptr;
    QLineEdit* edtDescription = nullptr;
    QLineEdit* edtPassword = nullptr;
    QLineEdit* edtConfirm = nullptr;
    QRadioButton* rbStandard = nullptr;
    QRadioButton* rbAdvanced = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void nameChanged();

    const UserManager& m_manager;
    Prompter& m_prompter;
    QStackedWidget* m_pages = nullptr;
};

// Builds the radio button of a user type with its description below it, for the wizard and the properties dialog.
QWidget* UserTypeChoice(QRadioButton*& standard, QRadioButton*& advanced, QWidget* parent = nullptr);
