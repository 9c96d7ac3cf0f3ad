// Shows the real preview window with a rendered sheet picture, for looking at
// it by hand or taking a screenshot. Not a test: build it on request
// (target preview_demo) and run it under a display.

#include "Dialogs.h"
#include "Form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

namespace {

class DemoHost final : public quorbel::Form2Host {
public:
    void showMainWindow() override { QApplication::quit(); }
    void storeListBeforeExit() override {}
    void endProgram() override { QApplication::quit(); }
};

// Something that looks like a filled to-do sheet: header cells and a grid.
QImage renderSheet()
{
    const int columns[] = {40, 60, 220, 140, 380, 160, 160};
    const int rowHeight = 24;
    const int rows = 36;
    int width = 0;
    for (int c : columns)
        width += c;
    QImage image(width + 1, rows * rowHeight + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("Arial"), 10);
    painter.setFont(font);
    painter.setPen(QColor(200, 200, 200));
    for (int r = 0; r <= rows; ++r)
        painter.drawLine(0, r * rowHeight, width, r * rowHeight);
    for (int x = 0, c = 0; c <= 7; ++c) {
        painter.drawLine(x, 0, x, rows * rowHeight);
        if (c < 7)
            x += columns[c];
    }
    const auto cell = [&](int row, int column, const QString &text, bool bold = false) {
        int x = 0;
        for (int c = 0; c < column; ++c)
            x += columns[c];
        QFont f = font;
        f.setBold(bold);
        painter.setFont(f);
        painter.setPen(Qt::black);
        painter.drawText(QRect(x + 4, row * rowHeight, columns[column] - 8, rowHeight), Qt::AlignVCenter, text);
    };
    cell(0, 5, QStringLiteral("To be done by:"), true);
    cell(0, 6, QStringLiteral("J. Smith"));
    cell(1, 5, QStringLiteral("Deadline:"), true);
    cell(1, 6, QStringLiteral("31-Aug-2026"));
    cell(4, 1, QStringLiteral("Done"), true);
    cell(4, 2, QStringLiteral("Lighthouse survey"), true);
    cell(4, 3, QStringLiteral("Due By"), true);
    cell(4, 4, QStringLiteral("Notes"), true);
    const char *notes[] = {"Order lamp glass", "Paint the railing", "Check the log book", "Call the harbour office",
                           "Replace fog horn fuse", "Count spare bulbs"};
    for (int i = 0; i < 24; ++i) {
        const int row = 5 + i;
        cell(row, 0, QString::number(i + 1));
        cell(row, 1, i % 3 == 0 ? QStringLiteral("\u2713") : QString());
        cell(row, 2, QStringLiteral("Task %1").arg(i + 1));
        cell(row, 3, QStringLiteral("%1-Sep-2026").arg(1 + i, 2, 10, QLatin1Char('0')));
        cell(row, 4, QString::fromLatin1(notes[i % 6]));
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QTemporaryDir scratch;
    const QString workbook = scratch.filePath(QStringLiteral("vantyk12345678.xls"));
    QFile file(workbook);
    if (file.open(QIODevice::WriteOnly))
        file.write("demo");
    file.close();

    DemoHost host;
    quorbel::StderrDialogs dialogs;
    quorbel::Form2 preview(host, dialogs);
    preview.setPicture(renderSheet());
    preview.mExcelFile = workbook;
    preview.show();
    return app.exec();
}
