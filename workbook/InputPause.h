#pragma once

// How long the user has left the keyboard and the mouse alone. Installed on
// the application (every key, button, move and wheel event of every window
// passes it); work that holds the window for a moment waits for a pause.

#include <QElapsedTimer>
#include <QObject>

namespace quorbel {

class InputPause final : public QObject {
public:
    // Watches the application's input from now on (when there is an
    // application; without one no input ever comes).
    InputPause();
    ~InputPause() override;

    // Milliseconds since the last input (since construction when none came).
    qint64 sinceInputMs() const { return m_sinceInput.elapsed(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QElapsedTimer m_sinceInput;
};

} // namespace quorbel
