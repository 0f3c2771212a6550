#pragma once
// For window tests only (needs QtWidgets): answers the program's modal windows as they come up. Each new modal
// window (the top of the modal stack, once per appearance) has its title recorded and the next queued step run on
// it, after the event that opened it has been handled; with no step left it is closed and noted as unexpected.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class ModalWalker {
public:
    using Step = std::function<void(QWidget*)>;

    ModalWalker()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(5);
    }

    ModalWalker& then(Step step)
    {
        m_steps.enqueue(std::move(step));
        return *this;
    }
    bool done() const { return m_steps.isEmpty() && m_running == 0; }

    // The titles of the modal windows in the order they came, and those that no step expected.
    QStringList titles;
    QStringList unexpected;

    // ---- steps ----
    static Step click(const QString& buttonText)
    {
        return [buttonText](QWidget* w) {
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                if (b->text() == buttonText && b->isVisible()) {
                    b->click();
                    return;
                }
            qWarning("no button \"%s\" in \"%s\"", qPrintable(buttonText), qPrintable(w->windowTitle()));
            close(w);
        };
    }
    static Step reject()
    {
        return [](QWidget* w) { close(w); };
    }
    static void close(QWidget* w)
    {
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
    }

private:
    void poll()
    {
        QWidget* top = QApplication::activeModalWidget();
        if (!top || !top->isVisible() || top == m_last)
            return;
        m_last = top;
        titles << top->windowTitle();
        Step step;
        if (m_steps.isEmpty()) {
            const auto* box = qobject_cast<QMessageBox*>(top);
            unexpected << (box ? top->windowTitle() + QStringLiteral(": ") + box->text() : top->windowTitle());
            step = reject();
        } else {
            step = m_steps.dequeue();
        }
        // Run outside this timer's slot: a step that opens another modal window waits in a nested event loop,
        // where this timer must go on answering.
        ++m_running;
        QPointer<QWidget> target(top);
        QTimer::singleShot(0, &m_timer, [this, step, target] {
            if (target)
                step(target);
            --m_running;
        });
    }

    QTimer m_timer;
    QQueue<Step> m_steps;
    QPointer<QWidget> m_last;
    int m_running = 0;
};

// Runs `step` on the modal dialog of type T as soon as it shows (gives up after five seconds: `step` is not run).
template <class T>
void whenShown(std::function<void(T*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, step, ticks] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && ++*ticks < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            step(dialog);
    });
    timer->start();
}
