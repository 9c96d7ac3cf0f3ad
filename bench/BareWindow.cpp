// A bare Qt Widgets window, for comparing start-up figures: an application
// object, a window with one push button, shown; it runs until it is ended.
// bench_user_click times it from its start to its window mapped.

#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(536, 561);
    QPushButton button(QStringLiteral("Start Creating Template"), &window);
    button.setGeometry(8, 8, 520, 27);
    window.show();
    return app.exec();
}
