#pragma once
#include "store/RowSet.h"

#include <QDialog>

#include <functional>

class OptionLists;
class Prompter;
class QListWidget;
class QMenu;
class QPushButton;
class TDataPoolDM;

// "维护工程概况选项": the 18 header fields on the left, the chosen field's option list on the right, with new,
// edit, delete, move up / down and clear. Every command runs the option-list operation of the core (which writes
// it to the database at once) and then shows the list again; the dialog holds no rule of its own.
class TOptConfigFrm final : public QDialog {
    Q_OBJECT
public:
    TOptConfigFrm(OptionLists& lists, Prompter& prompter, QWidget* parent = nullptr);

    QListWidget* fieldList() const { return m_fields; }
    QListWidget* itemList() const { return m_items; }
    QPushButton* newButton() const { return m_new; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* editButton() const { return m_edit; }
    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    QAction* clearAction() const { return m_clear; }

    int currentField() const;
    // The commands (also reached by the buttons, menus and shortcuts).
    void newItem();
    void editItem();
    void deleteItem();
    void moveUp();
    void moveDown();
    void clearList();

private:
    void showField(int selectRow = -1);
    void updateButtons();
    void run(const std::function<void()>& command);

    OptionLists& m_lists;
    Prompter& m_prompter;
    QListWidget* m_fields = nullptr;
    QListWidget* m_items = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QAction* m_clear = nullptr;
    bool m_itemClicked = false;
};

// The tools menu's "维护工程概况选项(&C)...": the dialog on the whole table.
void EditOptionLists(TDataPoolDM& dm, Prompter& prompter, QWidget* parent);
// The overview dialog's "维护选项列表(&C)": the dialog on the caller's copy; returns the copy's rows afterwards.
DataPacket EditOptionLists(TDataPoolDM& dm, Prompter& prompter, const DataPacket& packet, QWidget* parent);
