// The preview's zoom, scroll and pan arithmetic, without any window.

#include "ErrorReport.h"
#include "Failure.h"
#include "PreviewGeometry.h"
#include "ScriptedDialogs.h"

#include <QtTest>

using namespace quorbel;

namespace {

// Records what the geometry asks of the window.
struct RecordingSurface : PreviewSurface {
    int draws = 0;
    int clears = 0;
    int pointerResets = 0;
    QSize lastSource;
    QSize lastDestination;
    void clearPicture() override { ++clears; }
    void drawStretched(QSize source, QSize destination) override
    {
        ++draws;
        lastSource = source;
        lastDestination = destination;
    }
    void setDefaultPointer() override { ++pointerResets; }
};

// A preview window's geometry (viewport 622 x 495 outer, 618 x 491 inner)
// after a picture of `natural` size was handed over and first activated.
struct Preview {
    test::ScriptedDialogs dialogs;
    RecordingSurface surface;
    PreviewGeometry geo = PreviewGeometry::standard(&surface);

    explicit Preview(QSize natural)
    {
        geo.setDialogs(&dialogs);
        geo.pictureAssigned(natural);
        Steps steps(dialogs, QStringLiteral("Form2.Form_Activate"));
        geo.firstActivationSetup(steps);
    }
    void zoomIn() { geo.StepZoom(0); }
    void zoomOut() { geo.StepZoom(1); }
    // Press at `from`, move to `to` with the button held (positions inside
    // the picture, which moves with the drag, as the window's mouse does).
    void drag(QPointF from, QPointF to)
    {
        geo.mouseDown(float(from.x()), float(from.y()));
        geo.mouseMove(true, float(to.x()), float(to.y()));
    }
    // Release: the window's Picture1_MouseUp.
    void release()
    {
        qint32 px = 0;
        qint32 py = 0;
        Steps steps(dialogs, QStringLiteral("Form2.Picture1_MouseUp"));
        steps(100, [&] { px = geo.percentX(); });
        steps(102, [&] { py = geo.percentY(); });
        steps(104, [&] { geo.setScrollbarByPercent(Axis::Horizontal, PreviewGeometry::toInt16(px)); });
        steps(106, [&] { geo.setScrollbarByPercent(Axis::Vertical, PreviewGeometry::toInt16(py)); });
    }
};

QString failureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Failure &failure) {
        return failure.description();
    }
    return QString();
}

} // namespace

class PreviewGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void roundsHalvesToEvenAndRefusesOverflow();
    void viewportHasDistinctInnerAndOuterSizes();
    void firstActivationTakesNaturalSizeAndDraws();
    void scrollbarsFollowOverhang_data();
    void scrollbarsFollowOverhang();
    void zoomInFourTimesThenNothing();
    void zoomOutThreeTimesThenNothing();
    void zoomReaching2000FallsBackWithoutRedraw();
    void largePictureIsNotRedrawnAtFirstActivation();
    void redrawResetsBarsPointerAndEnabledState();
    void redrawReturnsDraggedPictureToOrigin();
    void barPositionsMovePictureInSteps();
    void dragClampsAtBothEdges();
    void dragOfThousandWidePictureKeepsBarAndStays();
    void releaseSnapsToStepMultiple();
    void narrowPictureDragMeetsFarInnerEdge();
    void stepZeroBarReturnsPictureToOriginAfterZoom();
    void mouseMoveWithoutButtonDoesNothing();
    void equalOuterSizesReportDivisionByZeroAndGoOn();
    void percentOperations();
    void hugeOverhangsScrollWithoutOverflow();
};

void PreviewGeometryTest::roundsHalvesToEvenAndRefusesOverflow()
{
    QCOMPARE(PreviewGeometry::roundHalfEven(2.5), 2.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(3.5), 4.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(0.5), 0.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(-2.5), -2.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(-3.5), -4.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(37.8), 38.0);
    QCOMPARE(PreviewGeometry::roundHalfEven(-0.4), 0.0);

    QCOMPARE(PreviewGeometry::toInt16(32767.4), qint16(32767));
    QCOMPARE(PreviewGeometry::toInt16(-32768.5), qint16(-32768));
    QCOMPARE(failureOf([] { PreviewGeometry::toInt16(32767.5); }), QStringLiteral("Overflow"));
    QCOMPARE(failureOf([] { PreviewGeometry::toInt16(-32769); }), QStringLiteral("Overflow"));
    QCOMPARE(failureOf([] { PreviewGeometry::toInt32(3e9); }), QStringLiteral("Overflow"));
    QCOMPARE(failureOf([] { PreviewGeometry::toInt32(std::nan("")); }), QStringLiteral("Overflow"));
}

void PreviewGeometryTest::viewportHasDistinctInnerAndOuterSizes()
{
    const PreviewGeometry geo = PreviewGeometry::standard();
    QCOMPARE(geo.viewportOuter(), QSize(622, 495));
    QCOMPARE(geo.viewportInner(), QSize(618, 491));
    // A fresh window: both bars at 0 with Max 32767, no steps.
    QCOMPARE(geo.bar(Axis::Horizontal).max, qint16(32767));
    QCOMPARE(geo.bar(Axis::Vertical).value, qint16(0));
    QCOMPARE(geo.step(Axis::Horizontal), qint16(0));
}

void PreviewGeometryTest::firstActivationTakesNaturalSizeAndDraws()
{
    Preview p(QSize(800, 600));
    // The holder took Picture1's size while it was sized to the picture.
    QCOMPARE(p.geo.holderOuter(), QSize(802, 602));
    QCOMPARE(p.geo.origWidth(), 800);
    QCOMPARE(p.geo.origHeight(), 600);
    QCOMPARE(p.geo.zoom(), 1.0f);
    QCOMPARE(p.surface.draws, 1);
    QCOMPARE(p.surface.lastSource, QSize(800, 600));
    QCOMPARE(p.surface.lastDestination, QSize(800, 600));
    QCOMPARE(p.geo.pictureOuter(), QSize(800, 600));
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
    // Overhang 178: Max round(17.8) = 18; overhang 105: round(10.5) = 10.
    QCOMPARE(p.geo.bar(Axis::Horizontal).max, qint16(18));
    QCOMPARE(p.geo.step(Axis::Horizontal), qint16(10));
    QCOMPARE(p.geo.bar(Axis::Vertical).max, qint16(10));
    QCOMPARE(p.geo.step(Axis::Vertical), qint16(10));
    QVERIFY(p.dialogs.boxes.isEmpty());
}

void PreviewGeometryTest::scrollbarsFollowOverhang_data()
{
    QTest::addColumn<int>("overhang");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("step");
    QTest::newRow("60") << 60 << true << 60 << 1;
    QTest::newRow("exactly 100") << 100 << true << 100 << 1;
    QTest::newRow("101") << 101 << true << 10 << 10;
    QTest::newRow("305") << 305 << true << 30 << 10;
    QTest::newRow("315") << 315 << true << 32 << 10;
    QTest::newRow("1") << 1 << true << 1 << 1;
    QTest::newRow("none") << 0 << false << 32767 << 0;
    QTest::newRow("narrower") << -200 << false << 32767 << 0;
}

void PreviewGeometryTest::scrollbarsFollowOverhang()
{
    QFETCH(int, overhang);
    QFETCH(bool, enabled);
    QFETCH(int, max);
    QFETCH(int, step);
    // After the first redraw Picture1's outer size is the picture's size.
    Preview p(QSize(622 + overhang, 495 + overhang));
    for (const Axis axis : {Axis::Horizontal, Axis::Vertical}) {
        QCOMPARE(p.geo.bar(axis).enabled, enabled);
        QCOMPARE(int(p.geo.bar(axis).max), max);
        QCOMPARE(int(p.geo.step(axis)), step);
        QCOMPARE(int(p.geo.bar(axis).value), 0);
    }
}

void PreviewGeometryTest::zoomInFourTimesThenNothing()
{
    Preview p(QSize(400, 300));
    const float expected[] = {1.25f, 1.5f, 1.75f, 2.0f};
    for (float zoom : expected) {
        p.zoomIn();
        QCOMPARE(p.geo.zoom(), zoom);
    }
    QCOMPARE(p.surface.draws, 5);
    QCOMPARE(p.geo.pictureOuter(), QSize(800, 600));
    p.zoomIn();
    QCOMPARE(p.geo.zoom(), 2.0f);
    QCOMPARE(p.surface.draws, 5);
}

void PreviewGeometryTest::zoomOutThreeTimesThenNothing()
{
    Preview p(QSize(401, 301));
    p.zoomOut();
    p.zoomOut();
    p.zoomOut();
    QCOMPARE(p.geo.zoom(), 0.25f);
    // floor(401 x 0.25) = 100, floor(301 x 0.25) = 75.
    QCOMPARE(p.geo.pictureOuter(), QSize(100, 75));
    QCOMPARE(p.surface.draws, 4);
    p.zoomOut();
    QCOMPARE(p.geo.zoom(), 0.25f);
    QCOMPARE(p.surface.draws, 4);
}

void PreviewGeometryTest::zoomReaching2000FallsBackWithoutRedraw()
{
    Preview p(QSize(1200, 800));
    p.zoomIn();
    p.zoomIn();
    QCOMPARE(p.geo.zoom(), 1.5f);
    QCOMPARE(p.surface.lastDestination, QSize(1800, 1200));
    const int drawsAt15 = p.surface.draws;

    p.zoomIn(); // 1.75: 2100 wide
    QCOMPARE(p.geo.zoom(), 1.0f);
    QCOMPARE(p.surface.draws, drawsAt15);
    QCOMPARE(p.geo.zoomWidth(), 1200);
    QCOMPARE(p.geo.zoomHeight(), 800);
    // The display still shows the 1.5 picture.
    QCOMPARE(p.geo.pictureOuter(), QSize(1800, 1200));

    p.zoomIn();
    QCOMPARE(p.geo.zoom(), 1.25f);
    QCOMPARE(p.surface.draws, drawsAt15 + 1);
    QCOMPARE(p.geo.pictureOuter(), QSize(1500, 1000));

    // 2000 itself is too large, on either axis.
    Preview exact(QSize(500, 1000));
    exact.zoomIn(); // 1250
    exact.zoomIn(); // 1500
    exact.zoomIn(); // 1750
    QCOMPARE(exact.geo.zoom(), 1.75f);
    exact.zoomIn(); // 2000 high
    QCOMPARE(exact.geo.zoom(), 1.0f);
    QCOMPARE(exact.geo.pictureOuter(), QSize(875, 1750));
}

void PreviewGeometryTest::largePictureIsNotRedrawnAtFirstActivation()
{
    Preview p(QSize(2400, 1000));
    QCOMPARE(p.surface.draws, 0);
    QCOMPARE(p.surface.clears, 0);
    // Picture1 keeps the handed-over picture at natural size.
    QCOMPARE(p.geo.pictureOuter(), QSize(2402, 1002));
    QCOMPARE(p.geo.zoom(), 1.0f);
    QCOMPARE(p.geo.origWidth(), 2400);
    // Overhang 1780 and 507.
    QCOMPARE(p.geo.bar(Axis::Horizontal).max, qint16(178));
    QCOMPARE(p.geo.bar(Axis::Vertical).max, qint16(51));

    p.zoomIn(); // 3000 wide: back to 1.0, nothing drawn
    QCOMPARE(p.geo.zoom(), 1.0f);
    QCOMPARE(p.surface.draws, 0);

    p.zoomOut();
    QCOMPARE(p.geo.zoom(), 0.75f);
    QCOMPARE(p.surface.draws, 1);
    QCOMPARE(p.surface.lastSource, QSize(2400, 1000));
    QCOMPARE(p.surface.lastDestination, QSize(1800, 750));
    QCOMPARE(p.geo.pictureOuter(), QSize(1800, 750));
}

void PreviewGeometryTest::redrawResetsBarsPointerAndEnabledState()
{
    Preview p(QSize(700, 480));
    QCOMPARE(p.surface.pointerResets, 1);
    QVERIFY(p.geo.bar(Axis::Horizontal).enabled);
    QVERIFY(!p.geo.bar(Axis::Vertical).enabled);
    p.geo.setBarValue(Axis::Horizontal, 50);
    QCOMPARE(p.geo.pictureOffset(), QPoint(-50, 0));

    p.zoomOut(); // 525 x 360: fits the inner viewport
    QCOMPARE(p.surface.pointerResets, 2);
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(0));
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
    QVERIFY(!p.geo.bar(Axis::Horizontal).enabled);
    QVERIFY(!p.geo.bar(Axis::Vertical).enabled);
    // Ranges and steps stay as set at first activation.
    QCOMPARE(p.geo.bar(Axis::Horizontal).max, qint16(78));
    QCOMPARE(p.geo.step(Axis::Horizontal), qint16(1));

    p.zoomIn();
    p.zoomIn(); // 875 x 600: wider than 618, higher than 491
    QVERIFY(p.geo.bar(Axis::Horizontal).enabled);
    QVERIFY(p.geo.bar(Axis::Vertical).enabled);
}

void PreviewGeometryTest::redrawReturnsDraggedPictureToOrigin()
{
    Preview p(QSize(1000, 700));
    p.drag({500, 300}, {-1000, -1000});
    p.release();
    QCOMPARE(p.geo.pictureOffset(), QPoint(-382, -209));
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(0));
    // The bars were at 0 already; the redraw still brings the picture home.
    p.zoomOut();
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
}

void PreviewGeometryTest::barPositionsMovePictureInSteps()
{
    Preview p(QSize(1000, 560)); // steps 10 and 1
    QCOMPARE(p.geo.step(Axis::Vertical), qint16(1));
    p.geo.setBarValue(Axis::Horizontal, 38);
    p.geo.setBarValue(Axis::Vertical, 65);
    QCOMPARE(p.geo.pictureOffset(), QPoint(-380, -65));
    p.geo.setBarValue(Axis::Horizontal, 7);
    QCOMPARE(p.geo.pictureOffset(), QPoint(-70, -65));
    p.geo.setBarValue(Axis::Vertical, 0);
    QCOMPARE(p.geo.pictureOffset(), QPoint(-70, 0));
    // Positions outside 0..Max are refused and change nothing.
    QCOMPARE(failureOf([&] { p.geo.setBarValue(Axis::Horizontal, 39); }), QStringLiteral("Invalid property value"));
    QCOMPARE(failureOf([&] { p.geo.setBarValue(Axis::Vertical, -1); }), QStringLiteral("Invalid property value"));
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(7));
    QCOMPARE(p.geo.pictureOffset(), QPoint(-70, 0));
}

void PreviewGeometryTest::dragClampsAtBothEdges()
{
    Preview p(QSize(1000, 700));
    // Grabbed point follows the pointer.
    p.drag({500, 300}, {450, 280});
    QCOMPARE(p.geo.pictureOffset(), QPoint(-50, -20));
    // Right and down past the edge stop at 0.
    p.drag({100, 100}, {400, 400});
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
    // Left and up stop where the far edge meets the far inner edge.
    p.drag({100, 100}, {-5000, -5000});
    QCOMPARE(p.geo.pictureOffset(), QPoint(618 - 1000, 491 - 700));
    QCOMPARE(p.geo.dragX(), 100.0f);
    // The bars are untouched while the button is held.
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(0));
}

void PreviewGeometryTest::dragOfThousandWidePictureKeepsBarAndStays()
{
    Preview p(QSize(1000, 700));
    QCOMPARE(p.geo.bar(Axis::Horizontal).max, qint16(38));   // round(37.8)
    QCOMPARE(p.geo.bar(Axis::Vertical).max, qint16(20));     // round(20.5)
    p.drag({500, 300}, {-1000, -1000});
    QCOMPARE(p.geo.pictureOffset(), QPoint(-382, -209));
    QCOMPARE(p.geo.percentX(), 101); // round(382 / 378 x 100)
    QCOMPARE(p.geo.percentY(), 102); // round(209 / 205 x 100)
    p.release();
    // Targets 38.38 and 20.4 are above Max: bars keep their positions.
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(0));
    QCOMPARE(p.geo.bar(Axis::Vertical).value, qint16(0));
    QCOMPARE(p.geo.pictureOffset(), QPoint(-382, -209));
    QVERIFY(p.dialogs.boxes.isEmpty());
}

void PreviewGeometryTest::releaseSnapsToStepMultiple()
{
    Preview p(QSize(1000, 700));
    p.drag({500, 300}, {305, 300});
    QCOMPARE(p.geo.pictureOffset(), QPoint(-195, 0));
    p.release();
    // round(195 / 378 x 100) = 52; 0.52 x 38 = 19.76 -> 20.
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(20));
    QCOMPARE(p.geo.pictureOffset(), QPoint(-200, 0));
}

void PreviewGeometryTest::narrowPictureDragMeetsFarInnerEdge()
{
    Preview p(QSize(300, 200));
    QVERIFY(!p.geo.bar(Axis::Horizontal).enabled);
    p.drag({50, 50}, {40, 45});
    // Not right of 0, so the second test applies: the right and bottom edges
    // meet the viewport's inner right and bottom edges.
    QCOMPARE(p.geo.pictureOffset(), QPoint(618 - 300, 491 - 200));
    p.release(); // negative percentages: nothing
    QCOMPARE(p.geo.pictureOffset(), QPoint(318, 291));
    QVERIFY(p.dialogs.boxes.isEmpty());
    // Dragging right from there is stopped at 0 by the first test.
    p.drag({50, 50}, {60, 50});
    QCOMPARE(p.geo.pictureOffset().x(), 0);
}

void PreviewGeometryTest::stepZeroBarReturnsPictureToOriginAfterZoom()
{
    Preview p(QSize(600, 400));
    QVERIFY(!p.geo.bar(Axis::Horizontal).enabled);
    QCOMPARE(p.geo.step(Axis::Horizontal), qint16(0));
    QCOMPARE(p.geo.bar(Axis::Horizontal).max, qint16(32767));

    p.zoomIn(); // 750 x 500
    QVERIFY(p.geo.bar(Axis::Horizontal).enabled);
    QVERIFY(p.geo.bar(Axis::Vertical).enabled);
    // Any position leaves the picture at offset 0 with step 0.
    p.geo.setBarValue(Axis::Horizontal, 1000);
    QCOMPARE(p.geo.pictureOffset().x(), 0);
    p.geo.setBarValue(Axis::Horizontal, 0);

    p.drag({300, 200}, {236, 197});
    QCOMPARE(p.geo.pictureOffset(), QPoint(-64, -3));
    p.release();
    // 50% of 32767 = 16383.5 -> 16384; 60% -> 19660: both moved, step 0.
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(16384));
    QCOMPARE(p.geo.bar(Axis::Vertical).value, qint16(19660));
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
}

void PreviewGeometryTest::mouseMoveWithoutButtonDoesNothing()
{
    Preview p(QSize(1000, 700));
    p.geo.mouseDown(500, 300);
    p.geo.mouseMove(false, 100, 100);
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, 0));
    p.geo.mouseMove(true, 100, 100);
    QCOMPARE(p.geo.pictureOffset(), QPoint(-382, -200));
}

void PreviewGeometryTest::equalOuterSizesReportDivisionByZeroAndGoOn()
{
    Preview p(QSize(622, 700)); // outer width equals the viewport's
    p.drag({100, 300}, {100, 100});
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, -200));
    p.release();
    const QStringList errors = p.dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first(), errorReportText(QStringLiteral("Division by zero"),
                                             QStringLiteral("Form2.Picture1_MouseUp"), 100));
    // Percent X kept 0 (the bar moved to 0, unchanged); the vertical part
    // went on: round(200 / 205 x 100) = 98; 0.98 x 20 = 19.6 -> 20.
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(0));
    QCOMPARE(p.geo.bar(Axis::Vertical).value, qint16(20));
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, -200));
}

void PreviewGeometryTest::percentOperations()
{
    Preview p(QSize(722, 595)); // both bars: Max 100, step 1
    p.geo.setScrollbarByPercent(Axis::Horizontal, 100);
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(100));
    QCOMPARE(p.geo.pictureOffset().x(), -100);
    p.geo.setScrollbarByPercent(Axis::Horizontal, -1);
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(100));
    p.geo.setScrollbarByPercent(Axis::Horizontal, 101);
    QCOMPARE(p.geo.bar(Axis::Horizontal).value, qint16(100));
    p.geo.setScrollbarByPercent(Axis::Vertical, 25);
    QCOMPARE(p.geo.bar(Axis::Vertical).value, qint16(25));
    p.geo.setScrollbarByPercent(Axis::Horizontal, 0);
    QCOMPARE(p.geo.pictureOffset(), QPoint(0, -25));
}

void PreviewGeometryTest::hugeOverhangsScrollWithoutOverflow()
{
    // Pictures this large are never redrawn: Picture1 keeps natural size
    // plus its border.
    Preview wide(QSize(40622, 1000493));
    QCOMPARE(wide.geo.pictureOuter(), QSize(40624, 1000495));
    // Overhang 40002: still step 10, Max round(4000.2) = 4000.
    QCOMPARE(wide.geo.step(Axis::Horizontal), qint16(10));
    QCOMPARE(wide.geo.bar(Axis::Horizontal).max, qint16(4000));
    wide.geo.setBarValue(Axis::Horizontal, 4000);
    QCOMPARE(wide.geo.pictureOffset().x(), -40000);
    // Overhang 1,000,000: steps of 10 to 30 give more than 32767 units.
    QCOMPARE(wide.geo.step(Axis::Vertical), qint16(40));
    QCOMPARE(wide.geo.bar(Axis::Vertical).max, qint16(25000));
    wide.geo.setBarValue(Axis::Vertical, 25000);
    QCOMPARE(wide.geo.pictureOffset().y(), -1000000);
    QVERIFY(wide.dialogs.boxes.isEmpty());

    // Dragged to the far corner and released: the bars follow.
    wide.geo.setBarValue(Axis::Horizontal, 0);
    wide.geo.setBarValue(Axis::Vertical, 0);
    wide.drag({10, 10}, {-100000, -2000000});
    QCOMPARE(wide.geo.pictureOffset(), QPoint(618 - 40624, 491 - 1000495));
    wide.release();
    QVERIFY(wide.dialogs.boxes.isEmpty());
    QCOMPARE(wide.geo.bar(Axis::Horizontal).value, qint16(4000));
    QCOMPARE(wide.geo.bar(Axis::Vertical).value, qint16(25000));
}

QTEST_GUILESS_MAIN(PreviewGeometryTest)
#include "test_preview_geometry.moc"
