#include "ProgressWindow.h"

#include "Title.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorbel {

// The window itself: the text, the bar and "Cancel". Escape (reject) and
// closing the window press "Cancel"; the window never hides itself.
class ProgressDialog final : public QDialog {
public:
    ProgressDialog(QWidget &parent, const CancellationToken &cancel)
        : QDialog(&parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    {
        setObjectName(QStringLiteral("progressWindow"));
        setWindowTitle(applicationTitle().isEmpty() ? kProductTitle : applicationTitle());
        setWindowModality(Qt::ApplicationModal);
        text = new QLabel(this);
        bar = new QProgressBar(this);
        bar->setAccessibleName(QStringLiteral("Progress"));
        cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
        cancelButton->setAutoDefault(false);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(cancelButton);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(bar);
        layout->addLayout(buttons);
        text->setMinimumWidth(320);
        connect(cancelButton, &QPushButton::clicked, this, [this, token = CancellationToken(cancel)]() mutable {
            cancelButton->setEnabled(false);
            token.cancel();
        });
    }

    void reject() override { pressCancel(); }

    QLabel *text = nullptr;
    QProgressBar *bar = nullptr;
    QPushButton *cancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        pressCancel();
    }

private:
    void pressCancel()
    {
        if (cancelButton->isEnabled())
            cancelButton->click();
    }
};

ProgressWindow::ProgressWindow(QWidget &parent, CancellationToken cancel, std::function<ProgressReport()> report,
                               ProgressTiming timing)
    : m_parent(parent), m_cancel(std::move(cancel)), m_report(std::move(report)), m_timing(std::move(timing))
{
    m_clock.start();
}

ProgressWindow::~ProgressWindow()
{
    close();
}

qint64 ProgressWindow::elapsedMs() const
{
    return m_timing.elapsedMs ? m_timing.elapsedMs() : m_clock.elapsed();
}

void ProgressWindow::pump()
{
    if (m_closed || m_pumping || m_cancel.cancelledAlready())
        return;
    const qint64 now = elapsedMs();
    if (!m_dialog) {
        if (now < m_timing.showAfterMs)
            return;
        show();
    } else if (now - m_lastPumpMs < m_timing.everyMs) {
        return;
    }
    m_lastPumpMs = now;
    redraw();
    // A handler that asks the token while the events run finds no second pump.
    m_pumping = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, kEventsMs);
    m_pumping = false;
}

void ProgressWindow::show()
{
    m_focus = QApplication::focusWidget();
    m_dialog = new ProgressDialog(m_parent, m_cancel);
    redraw();
    m_dialog->show();
}

void ProgressWindow::redraw()
{
    const ProgressReport report = m_report ? m_report() : ProgressReport();
    if (m_dialog->text->text() != report.text)
        m_dialog->text->setText(report.text);
    const int total = qMax(0, report.total);
    if (m_dialog->bar->maximum() != total)
        m_dialog->bar->setRange(0, total);
    if (total > 0)
        m_dialog->bar->setValue(qBound(0, report.done, total));
}

void ProgressWindow::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (!m_dialog)
        return;
    delete m_dialog.data();
    // The window the work belongs to is as it was, its focus included.
    if (m_focus && m_focus->isVisible()) {
        m_focus->activateWindow();
        m_focus->setFocus(Qt::ActiveWindowFocusReason);
    }
}

} // namespace quorbel
