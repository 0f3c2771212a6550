#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// "确认删除": the question before a node goes into the recycle bin. An icon at the left, the word-wrapped note
// `lblNote`, the buttons "是(&Y)" (default, OK) and "否(&N)" (cancel); shown centred on the screen.
class TDeleteBoxFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TDeleteBoxFrm(QWidget* parent = nullptr);

    void setNote(const QString& text);
    QLabel* lblNote = nullptr;
    QPushButton* bbtnYes = nullptr;
    QPushButton* bbtnNo = nullptr;

    // Shows the dialog modally with the note; true only for "是(&Y)".
    static bool Ask(const QString& note, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};
