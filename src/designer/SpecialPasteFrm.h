#pragma once
#include <QDialog>

class Prompter;
class QCheckBox;
class QListWidget;

// "选择性粘贴": how the clipboard is pasted ("全部", "单元公式", "文本和数值", "单元格式"), whether the source's
// sizes come along ("等大小粘帖") and whether blank source cells are skipped ("跳过空单元"). "确定" without a
// chosen way says "请选择要粘贴的方式！" and keeps the dialog open.
class TSpecialPasteFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TSpecialPasteFrm(Prompter& prompter, QWidget* parent = nullptr);

    int mode() const;          // 0..3; -1 when none is chosen
    bool sameSize() const;
    bool skipBlanks() const;
    QListWidget* modeList() const { return m_modes; }
    QCheckBox* sameSizeBox() const { return m_sameSize; }
    QCheckBox* skipBlanksBox() const { return m_skipBlanks; }

public slots:
    void accept() override;

private:
    Prompter& m_prompter;
    QListWidget* m_modes = nullptr;
    QCheckBox* m_sameSize = nullptr;
    QCheckBox* m_skipBlanks = nullptr;
};
