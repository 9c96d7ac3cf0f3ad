#pragma once

#include <QString>

class QWidget;

namespace quorbel {

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

} // namespace quorbel
