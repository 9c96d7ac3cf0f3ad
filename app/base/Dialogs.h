#pragma once

#include <QString>
#include <QStringList>

namespace quorbel {

enum class BoxIcon { None, Exclamation };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// One modal message box as the program asks for it. An empty title means the
// application title (see applicationTitle()).
struct Box {
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    BoxAnswer defaultButton = BoxAnswer::Ok;
};

// What a save dialog closed with: the name exactly as chosen (empty when the
// user cancelled) and the filter that was selected then, one of those offered.
struct SaveChoice {
    QString fileName;
    QString filter;
};

// Everything modal the program shows goes through this interface: the real
// program shows Qt message boxes and the Qt save dialog, tests script the
// answers. Whoever shows something is handed the instance to show it with.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows the box and returns the button that closed it.
    virtual BoxAnswer showBox(const Box &box) = 0;

    // Asks for a file name to save to. `filters` are in Qt's form, for
    // example "Excel Files (*.xls)", offered in this order, the first one
    // selected. Returns the name exactly as chosen (an empty text when the
    // user cancelled) and the filter selected when the dialog closed. The
    // dialog asks no overwrite question and adds no extension.
    virtual SaveChoice getSaveFileName(const QString &title, const QStringList &filters) = 0;
};

// Where no dialogs are given: prints each box to standard error and answers
// with its default button; every save dialog is cancelled.
class StderrDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override;
    SaveChoice getSaveFileName(const QString &title, const QStringList &filters) override;
};

// Shorthand for a box with the application title, shown by `dialogs`.
BoxAnswer messageBox(Dialogs &dialogs, const QString &text, BoxButtons buttons = BoxButtons::Ok,
                     BoxAnswer defaultButton = BoxAnswer::Ok);

} // namespace quorbel
