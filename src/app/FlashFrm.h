#pragma once
#include <QWidget>

// The splash window: a borderless 400 x 245 picture centred on the screen, visible from its creation, shown while
// the user's data loads. `refresh()` repaints it at once (the load runs on the user-interface thread).
class TFlashFrm final : public QWidget {
    Q_OBJECT
public:
    explicit TFlashFrm(QWidget* parent = nullptr);
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
