// Both windows on a screen of device pixel ratio 2 (run with
// QT_SCALE_FACTOR=2): the layout stays the designed one in logical pixels,
// the zoom and scroll numbers stay those of a plain screen, and the picture
// is drawn from its own pixels at the screen's ratio.

#include "Form1.h"
#include "Form2.h"
#include "Form2Host.h"
#include "PictureBox.h"
#include "PreviewControls.h"
#include "PreviewGeometry.h"
#include "ScriptedDialogs.h"
#include "ErrorReport.h"
#include "editor_test_support.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

using namespace quorbel;
using quorbel::test::PreviewControls;
using quorbel::test::ScriptedDialogs;
using quorbel::test::QuietHost;
using quorbel::test::WindowFixture;
using quorbel::test::ui;

namespace {

const QColor kLine(200, 30, 30);

// White, with one-pixel vertical lines at x = 20, 40, ... (logical pixels),
// made with `ratio` device pixels per logical pixel.
QImage gridPicture(QSize logical, int ratio)
{
    QImage image(logical * ratio, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 20; x < logical.width(); x += 20)
        for (int dx = 0; dx < ratio; ++dx)
            for (int y = 0; y < image.height(); ++y)
                image.setPixelColor(x * ratio + dx, y, kLine);
    image.setDevicePixelRatio(ratio);
    return image;
}

// The same steps on the geometry alone, with no screen at all.
PreviewGeometry plainGeometry(QSize natural, int zoomSteps)
{
    ScriptedDialogs dialogs;
    PreviewGeometry geometry = PreviewGeometry::standard();
    geometry.setDialogs(&dialogs);
    geometry.pictureAssigned(natural);
    Steps steps(dialogs, QStringLiteral("Form2.Form_Activate"));
    geometry.firstActivationSetup(steps);
    for (int i = 0; i < zoomSteps; ++i)
        geometry.StepZoom(0);
    geometry.setDialogs(nullptr);
    return geometry;
}

} // namespace

class TestScale2x : public QObject {
    Q_OBJECT

private slots:
    void init();
    void screenIsTwiceAsDense();
    void mainWindowKeepsTheTwipsLayout();
    void previewKeepsItsLayout();
    void zoomAndScrollNumbersStayLogical_data();
    void zoomAndScrollNumbersStayLogical();
    void pictureIsDrawnAtTheScreensRatio();
    void sharperPictureIsShownPixelForPixel();

private:
    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestScale2x::init()
{
    m_fixture.freshStart(m_dialogs);
}

void TestScale2x::screenIsTwiceAsDense()
{
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
}

void TestScale2x::mainWindowKeepsTheTwipsLayout()
{
    auto window = m_fixture.makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->devicePixelRatioF(), 2.0);
    // 8040 x 8415 twips, 15 twips a logical pixel.
    QCOMPARE(window->size(), QSize(536, 561));
    QCOMPARE(ui(*window).PushButton6->geometry(), QRect(8, 8, 520, 27));
    QCOMPARE(ui(*window).Frame2->geometry(), QRect(8, 194, 520, 359));
    QCOMPARE(ui(*window).ListView1->geometry(), QRect(17, 206, 483, 142));
    QCOMPARE(ui(*window).ListView1->columnWidth(1), 153);
    // What is painted has twice the pixels of the layout.
    QCOMPARE(window->grab().size(), QSize(1072, 1122));
}

void TestScale2x::previewKeepsItsLayout()
{
    QuietHost host;
    Form2 preview(host, m_dialogs);
    const PreviewControls ui(preview);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QCOMPARE(preview.devicePixelRatioF(), 2.0);
    QCOMPARE(preview.size(), QSize(656, 626));
    QCOMPARE(ui.Picture2->geometry(), QRect(8, 8, 622, 495));
    QCOMPARE(ui.VScroll1->geometry(), QRect(630, 8, 17, 495));
    QCOMPARE(ui.HScroll1->geometry(), QRect(8, 503, 622, 17));
    QCOMPARE(ui.PushButton6->geometry(), QRect(328, 590, 320, 27));
}

void TestScale2x::zoomAndScrollNumbersStayLogical_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<int>("zoomSteps");
    QTest::newRow("1000x800 at 1.0") << QSize(1000, 800) << 0;
    QTest::newRow("1000x800 at 1.25") << QSize(1000, 800) << 1;
    QTest::newRow("700x300 at 2.0") << QSize(700, 300) << 4;
    QTest::newRow("400x200 at 1.0") << QSize(400, 200) << 0;
}

void TestScale2x::zoomAndScrollNumbersStayLogical()
{
    QFETCH(QSize, natural);
    QFETCH(int, zoomSteps);

    QuietHost host;
    Form2 preview(host, m_dialogs);
    const PreviewControls ui(preview);
    preview.setPicture(gridPicture(natural, 1));
    preview.show();
    QVERIFY(QTest::qWaitForWindowActive(&preview));
    for (int i = 0; i < zoomSteps; ++i)
        ui.PushButton1->click();

    const PreviewGeometry expected = plainGeometry(natural, zoomSteps);
    QCOMPARE(ui.HScroll1->maximum(), int(expected.bar(Axis::Horizontal).max));
    QCOMPARE(ui.VScroll1->maximum(), int(expected.bar(Axis::Vertical).max));
    QCOMPARE(ui.HScroll1->isEnabled(), expected.bar(Axis::Horizontal).enabled);
    QCOMPARE(ui.Picture1->size(), expected.pictureOuter());
    if (natural == QSize(1000, 800) && zoomSteps == 0)
        QCOMPARE(ui.HScroll1->maximum(), 38); // round((1002 - 622) / 10)

    // Scrolling moves the picture by logical pixels.
    if (ui.HScroll1->isEnabled() && ui.HScroll1->maximum() >= 1) {
        ui.HScroll1->setValue(1);
        QCOMPARE(ui.Picture1->x(), -int(expected.step(Axis::Horizontal)));
    }
}

void TestScale2x::pictureIsDrawnAtTheScreensRatio()
{
    QuietHost host;
    Form2 preview(host, m_dialogs);
    const PreviewControls ui(preview);
    preview.setPicture(gridPicture(QSize(300, 200), 1));
    preview.show();
    QVERIFY(QTest::qWaitForWindowActive(&preview));

    // Zoom 1.0: the drawing has twice the picture's pixels, each one doubled
    // with no blur: the line at x = 20 covers device columns 40 and 41 only.
    QImage drawing = ui.Picture1->drawing();
    QCOMPARE(drawing.devicePixelRatio(), 2.0);
    QCOMPARE(drawing.size(), QSize(600, 400));
    QCOMPARE(drawing.pixelColor(40, 10), kLine);
    QCOMPARE(drawing.pixelColor(41, 10), kLine);
    QCOMPARE(drawing.pixelColor(39, 10), QColor(Qt::white));
    QCOMPARE(drawing.pixelColor(42, 10), QColor(Qt::white));

    // On the screen: the box's border is one logical pixel, the picture
    // starts after it, at device pixel 2.
    const QImage screen = ui.Picture1->grab().toImage();
    QCOMPARE(screen.devicePixelRatio(), 2.0);
    QCOMPARE(screen.pixelColor(2 + 40, 20), kLine);
    QCOMPARE(screen.pixelColor(2 + 41, 20), kLine);
    QCOMPARE(screen.pixelColor(2 + 42, 20), QColor(Qt::white));

    // Zoom 2.0: four device pixels a picture pixel, still repeated.
    for (int i = 0; i < 4; ++i)
        ui.PushButton1->click();
    drawing = ui.Picture1->drawing();
    QCOMPARE(drawing.size(), QSize(1200, 800));
    QCOMPARE(drawing.devicePixelRatio(), 2.0);
    for (int x = 80; x < 84; ++x)
        QCOMPARE(drawing.pixelColor(x, 10), kLine);
    QCOMPARE(drawing.pixelColor(79, 10), QColor(Qt::white));
    QCOMPARE(drawing.pixelColor(84, 10), QColor(Qt::white));

    // Zoom 1.25: an uneven stretch, made straight at 2.5 device pixels a
    // picture pixel; the drawing keeps the logical size of the zoom.
    for (int i = 0; i < 3; ++i)
        ui.PushButton2->click();
    drawing = ui.Picture1->drawing();
    QCOMPARE(drawing.size(), QSize(750, 500));
    QCOMPARE(drawing.deviceIndependentSize().toSize(), QSize(375, 250));
}

void TestScale2x::sharperPictureIsShownPixelForPixel()
{
    // A picture made with twice the pixels keeps its logical size in the
    // window and is shown with every one of its pixels.
    QuietHost host;
    Form2 preview(host, m_dialogs);
    const PreviewControls ui(preview);
    const QImage picture = gridPicture(QSize(300, 200), 2);
    preview.setPicture(picture);
    preview.show();
    QVERIFY(QTest::qWaitForWindowActive(&preview));
    QCOMPARE(ui.Picture1->size(), plainGeometry(QSize(300, 200), 0).pictureOuter());
    const QImage drawing = ui.Picture1->drawing();
    QCOMPARE(drawing.size(), picture.size());
    QCOMPARE(drawing.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestScale2x)
#include "test_scale_2x.moc"
