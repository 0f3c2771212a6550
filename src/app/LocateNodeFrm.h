#pragma once
#include "trees/LocateNode.h"
#include "trees/NodeRecord.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TMainFrm;

// "查找": steps through the nodes of one library's tree whose text matches, downwards or upwards, selecting each
// hit in the main window as a click would. Made for one use (LocateNode), placed 40 pixels right of and 50 pixels
// below the main window's top-left corner; its search state (NodeLocator) lives as long as the dialog.
class TLocateNodeFrm final : public QDialog {
    Q_OBJECT
public:
    TLocateNodeFrm(TMainFrm& main, Library library);

    QLabel* Label1 = nullptr;
    QLineEdit* edtFindTarget = nullptr;
    QPushButton* btnFindNext = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* rbtnForward = nullptr;
    QRadioButton* rbtnBackward = nullptr;
    QCheckBox* cbxWholeWordsOnly = nullptr;
    QPushButton* btnCancel = nullptr;

    // "查找下一个(&F)".
    void btnFindNextClick();

private:
    TMainFrm& m_main;
    Library m_library;
    NodeLocator m_locator;
};
