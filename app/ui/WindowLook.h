#pragma once

#include <QCursor>
#include <QString>

#include <optional>

class QWidget;

namespace quorbel {

// Gives the window, and each of its check boxes, radio buttons, frames
// (group boxes) and labels, the system button-face colour as background.
void UseSystemColors(QWidget *window);

// The optional window skin: when "x/o.cjs" exists in the program folder, the
// main window takes the button-face colours and the skin engine applies the
// file to it. Throws Failure when a skin call fails.
void ApplyWindowSkin(QWidget *mainWindow, const QString &folder = QString());

// The skin engine: the skin file is a Qt style sheet. Members keep the
// numbers of the component the program was designed against.
class SkinEngine {
public:
    void loadSkin(const QString &path, const QString &ini); // member 2
    int options() const { return m_options; }               // member 1
    void setOptions(int options) { m_options = options; }
    void setApplyOptionsToDialogs(bool on) { m_member5 = on; } // member 5
    void setApplyOptionsToMenus(bool on) { m_member10 = on; }  // member 10
    void applyWindow(QWidget *window);                         // member 3

    const QString &styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    bool m_loaded = false;
    int m_options = 0;
    bool m_member5 = false;
    bool m_member10 = false;
};

// Gives `widget` a background of its own in `colour`. Only the background
// (Window) role changes: the field colour (Base) that text fields, date
// pickers and lists inside it draw with stays as it was.
void setBackgroundColour(QWidget *widget, const QColor &colour);

// Moves a top-level window, with its frame, to the middle of its screen.
void centreOnScreen(QWidget *window);

// Reads a Windows cursor file (.cur): image and hotspot. Nothing when the
// file cannot be read as a cursor.
std::optional<QCursor> loadCursorFile(const QString &path);

// The hand pointer file both windows look for in the program folder.
inline const QString kHandPointerFile = QStringLiteral("HAND-M.CUR");

// The hand pointer read from `path`; throws Failure when the file cannot be
// read as a cursor.
QCursor readHandPointer(const QString &path);

// The hand pointer over a window's push buttons: the window's pointer becomes
// `hand` while the mouse moves over one of `buttons`, and the default pointer
// over one of `plainAreas`, except while the window shows the busy pointer.
class PointerFeedback;
PointerFeedback *installPointerFeedback(QWidget *window, const QCursor &hand,
                                        const QList<QWidget *> &buttons,
                                        const QList<QWidget *> &plainAreas);

// True while `window` shows the busy (hourglass) pointer.
bool isBusyPointer(const QWidget *window);

} // namespace quorbel
