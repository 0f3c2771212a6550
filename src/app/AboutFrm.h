#pragma once
#include <QDialog>

// "关于(&A)...": the program's picture, name, version and purpose.
class TAboutFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutFrm(QWidget* parent = nullptr);
};

// "自述文件(&R)": the readme in a plain-text window of the program.
class TReadmeFrm final : public QDialog {
    Q_OBJECT
public:
    TReadmeFrm(const QString& path, QWidget* parent = nullptr);
    QString text() const;

private:
    class QPlainTextEdit* m_text = nullptr;
};
