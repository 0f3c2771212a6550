#pragma once
#include <QDialog>

class Prompter;
class QLineEdit;
class QPushButton;

// "设置密码": the new password twice. "确定" closes only when the two boxes agree (else "您键入的密码不匹配。..." and
// the dialog stays); "取消" closes without a change.
class TSetUserPasswordFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TSetUserPasswordFrm(Prompter& prompter, QWidget* parent = nullptr);

    QString password() const;
    // "确定": true when the dialog closed with the password.
    bool ok();

    QLineEdit* edtPassword = nullptr;
    QLineEdit* edtConfirm = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    Prompter& m_prompter;
};
