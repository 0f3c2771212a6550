#include "app/WidgetPrompter.h"

#include "app/DeleteBoxFrm.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace {

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information: return QMessageBox::Information;
    case Prompter::Icon::Warning: return QMessageBox::Warning;
    case Prompter::Icon::Error: return QMessageBox::Critical;
    case Prompter::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Message boxes take the program's title when the caller gives none.
QString captionOr(const QString& caption)
{
    return caption.isEmpty() ? QStringLiteral("Quelmar") : caption;
}

// Windows line breaks in messages ("\r\n\r\n注：...") show as plain line breaks.
QString plain(const QString& text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

}  // namespace

QWidget* WidgetPrompter::dialogParent() const
{
    if (m_parent && m_parent->isVisible())
        return m_parent;
    return QApplication::activeWindow();
}

bool WidgetPrompter::askText(const QString& caption, const QString& prompt, QString& value)
{
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(captionOr(caption));
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

bool WidgetPrompter::confirm(const QString& caption, const QString& text)
{
    // Putting a node into the recycle bin is asked in the program's own delete box.
    if (caption == DeleteBoxCaption())
        return TDeleteBoxFrm::Ask(text, dialogParent());
    return question(caption, text, false) == Answer::Yes;
}

QString WidgetPrompter::DeleteBoxCaption()
{
    return QStringLiteral("确认删除");
}

Prompter::Answer WidgetPrompter::question(const QString& caption, const QString& text, bool withCancel)
{
    QMessageBox box(QMessageBox::Question, captionOr(caption), plain(text), QMessageBox::NoButton, dialogParent());
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    QPushButton* cancel = withCancel ? box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel ? cancel : no);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no || !withCancel)
        return Answer::No;
    return Answer::Cancel;
}

void WidgetPrompter::message(Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(boxIcon(icon), captionOr(caption), plain(text), QMessageBox::NoButton, dialogParent());
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    // A message must be readable even while the hourglass of a running operation is on.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
}

QString WidgetPrompter::qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
    }
    if (out.isEmpty())
        return filter;
    return out.join(QStringLiteral(";;"));
}

QString WidgetPrompter::chooseOpenFile(const QString& caption, const QString& filter, const QString& dir)
{
    return QFileDialog::getOpenFileName(dialogParent(), caption, dir, qtFilter(filter));
}

QString WidgetPrompter::chooseSaveFile(const QString& caption, const QString& filter, const QString& proposal)
{
    return QFileDialog::getSaveFileName(dialogParent(), caption, proposal, qtFilter(filter));
}

QString WidgetPrompter::chooseSaveFileWithExt(const QString& caption, const QString& filter, const QString& proposal,
                                             const QString& defaultExt)
{
    QFileDialog dialog(dialogParent(), caption, QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QString suffix = defaultExt;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (!proposal.isEmpty())
        dialog.selectFile(proposal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString WidgetPrompter::chooseFolder(const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(dialogParent(), caption, dir);
}

void WidgetPrompter::status(const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(m_status.data())) {
        label->setText(text);
        label->repaint();
    }
}

void WidgetPrompter::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool WidgetPrompter::progress(const QString& text, qint64 done, qint64 total)
{
    status(total > 0 ? QStringLiteral("%1 (%2/%3)").arg(text).arg(done).arg(total) : text);
    if (!m_progress) {
        m_progress = new QProgressDialog(dialogParent());
        m_progress->setWindowTitle(QStringLiteral("Quelmar"));
        m_progress->setCancelButtonText(QStringLiteral("取消"));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
        m_progress->setAutoReset(false);
        m_progress->setAutoClose(false);
        m_progress->setMinimumWidth(360);
    }
    // The dialog counts in int; large totals are scaled to per mille.
    const bool scaled = total > 1000;
    m_progress->setMaximum(total > 0 ? int(scaled ? 1000 : total) : 0);
    m_progress->setLabelText(text);
    m_progress->setValue(total > 0 ? int(scaled ? done * 1000 / total : done) : 0);   // processes events
    return !m_progress->wasCanceled();
}

void WidgetPrompter::endProgress()
{
    if (m_progress) {
        m_progress->close();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    status(QString());
}
