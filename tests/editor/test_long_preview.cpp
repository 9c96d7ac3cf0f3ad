// The preview of the real office's picture, at the screen scale the run
// gives (QT_SCALE_FACTOR 1 and 2): a 3,000-entry list previews without a
// box, and scrolled to its end the last entry's row is drawn where the
// preview's geometry puts it, as the office's PDF page of that block draws
// it; zoomed to 2.0 a short list is drawn afresh at 192 dpi, not stretched.

#include "Form1.h"
#include "Form2.h"
#include "PictureBox.h"
#include "PreviewControls.h"
#include "Program.h"
#include "ScriptedDialogs.h"
#include "SheetPicture.h"
#include "TestHome.h"
#include "editor_test_support.h"

#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <QScrollBar>
#include <QStringList>
#include <QTest>

#include <cmath>
#include <memory>

using namespace quorbel;
using namespace quorbel::test;

namespace {

// Rows 1 to 5 of the template and the edge line above them, in pixels at
// 96 dpi; each data row of 16.5 pt adds 22.
constexpr int kFirstDataRowTop = 108;

// `entries` entries in the stored form the main window restores.
void storeList(int entries)
{
    QStringList list;
    for (int i = 1; i <= entries; ++i)
        list << QStringLiteral("12/%1/2026^Project %2^Notes for entry %2^%3").arg(i % 28 + 1).arg(i).arg(i % 3 ? QString() : QStringLiteral("V"));
    storeValue(QStringLiteral("ToDo"), list.join(QLatin1Char('|')));
}

// Rows [from, to) of a block's page drawn by poppler at `dpi`, `width` wide.
QImage pageRows(const QByteArray &pdf, double dpi, int from, int to, int width)
{
    std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(pdf.constData(), int(pdf.size())));
    if (!document || document->pages() != 1)
        return {};
    std::unique_ptr<poppler::page> page(document->create_page(0));
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi, 0, from, width, to - from);
    if (!image.is_valid())
        return {};
    return QImage(reinterpret_cast<const uchar *>(image.const_data()), image.width(), image.height(),
                  image.bytes_per_row(), QImage::Format_ARGB32)
        .convertToFormat(QImage::Format_RGB32);
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
}

// Pixels of `a` and `b` (same size) that differ by more than anti-aliasing
// shades them: with `a` moved up or down by `shift` rows.
qint64 differing(const QImage &a, const QImage &b, int shift = 0, int limit = 96)
{
    qint64 count = 0;
    for (int y = std::max(0, -shift); y < a.height() && y + shift < b.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y + shift));
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            count += channelDifference(pa[x], pb[x]) > limit ? 1 : 0;
    }
    return count;
}

qint64 ink(const QImage &image)
{
    qint64 count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += qGray(p[x]) < 128 ? 1 : 0;
    }
    return count;
}

} // namespace

class TestLongPreview : public QObject {
    Q_OBJECT

    WindowFixture m_fixture;

    // Builds the stored list of `entries` entries through the real office.
    Form2 &build(Program &program, ScriptedDialogs &dialogs)
    {
        program.mainWindow().PushButton6_Click();
        Form2 &preview = program.previewWindow();
        [&] {
            QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(dialogs.errorTexts().join(QLatin1Char('\n'))));
            QVERIFY(preview.isVisible());
            QVERIFY(!preview.noPictureNote());
            const PreviewControls ui(preview);
            // The holder keeps the office's pages; the picture box draws them.
            QVERIFY(ui.Zoom_Ori->sheetPicture());
            QVERIFY(ui.Picture1->drawsSheet());
        }();
        return preview;
    }

private slots:
    void init()
    {
        clearStore();
        m_fixture.programEnds = 0;
    }

    void longListShowsToTheEnd()
    {
        const double ratio = qGuiApp->devicePixelRatio();
        constexpr int entries = 3000;
        storeList(entries);
        ScriptedDialogs dialogs;
        Form1::Services services = m_fixture.services();
        services.dialogs = &dialogs;
        Program program(services);
        Form2 &preview = build(program, dialogs);
        if (QTest::currentTestFailed())
            return;
        const PreviewControls ui(preview);
        const auto sheet = ui.Zoom_Ori->sheetPicture();
        const PreviewGeometry &geometry = preview.previewGeometry();

        // The natural size is the picture's at 96 dpi whatever the screen:
        // rows 1 to 5 and 3,000 rows of 22 pixels, and the edge line (the
        // office's sizes in 1/100 mm add up to a pixel or two over 3,000
        // rows; a row more or less would be 22).
        QCOMPARE(geometry.origHeight(), sheet->logicalSize().height());
        QVERIFY2(qAbs(geometry.origHeight() - (kFirstDataRowTop + 22 * entries)) <= 3, qPrintable(QString::number(geometry.origHeight())));
        QCOMPARE(ui.Picture1->size(), geometry.pictureOuter());
        QVERIFY(ui.VScroll1->isEnabled());

        // Dragged up as far as it goes: the picture's bottom meets the
        // viewport's bottom inner edge.
        preview.Picture1_MouseDown(Qt::LeftButton, 10.0f, 10.0f);
        preview.Picture1_MouseMove(Qt::LeftButton, 10.0f, -1.0e6f);
        const int viewportInner = geometry.viewportInner().height();
        QCOMPARE(geometry.pictureOffset().y(), viewportInner - geometry.pictureOuter().height());
        QCOMPARE(ui.Picture1->y(), geometry.pictureOffset().y());

        // What the screen shows of the viewport, in device pixels. The
        // picture's last row lies on the viewport's last inner row (its box
        // border below it is outside); its left edge one border in.
        const QImage shot = ui.Picture2->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int border = ui.Picture2->frameWidth();
        const int bottom = int(std::lround((border + viewportInner - 1) * ratio)); // the box's bottom border
        const int left = int(std::lround((border + 1) * ratio));

        // The office's own drawing of the last block, its last rows.
        const SheetPicture::Block &last = sheet->blocks().last();
        const double dpi = 96.0 * ratio;
        const int pageBottom = SheetPicture::edge(ratio) + SheetPicture::pixels(last.height, dpi);
        // About five rows, or the rows of a short last block.
        const int band = std::min(int(std::lround(120 * ratio)), pageBottom - SheetPicture::edge(ratio));
        QVERIFY(band >= 22 * ratio);
        const int width = int(std::lround(600 * ratio));
        const QImage office = pageRows(last.pdf, dpi, pageBottom - band, pageBottom, width);
        QCOMPARE(office.size(), QSize(width, band));
        QVERIFY(ink(office) > width / 2); // text and borders, not paper

        const QImage shown = shot.copy(left, bottom - band, width, band);
        if (const QString keep = qEnvironmentVariable("QUORBEL_KEEP_PICTURE"); !keep.isEmpty()) {
            shot.save(keep + QStringLiteral("-viewport.png"));
            office.save(keep + QStringLiteral("-office.png"));
            shown.save(keep + QStringLiteral("-shown.png"));
        }
        // Rounded row positions may move a line by one device pixel; the
        // wrong row, a blank or a cut-off band would not pass.
        qint64 best = -1;
        for (int shift = -1; shift <= 1; ++shift) {
            const qint64 d = differing(office, shown, shift);
            best = best < 0 ? d : std::min(best, d);
        }
        QVERIFY2(best * 100 <= qint64(width) * band,
                 qPrintable(QStringLiteral("%1 of %2 pixels differ").arg(best).arg(qint64(width) * band)));

        // Released, the bars take the position; the picture is still drawn.
        preview.Picture1_MouseUp(Qt::LeftButton, 10.0f, -1.0e6f);
        QVERIFY(ink(ui.Picture2->grab().toImage()) > band);
    }

    void zoomDrawsTheSheetSharp()
    {
        const double ratio = qGuiApp->devicePixelRatio();
        storeList(10);
        ScriptedDialogs dialogs;
        Form1::Services services = m_fixture.services();
        services.dialogs = &dialogs;
        Program program(services);
        Form2 &preview = build(program, dialogs);
        if (QTest::currentTestFailed())
            return;
        const PreviewControls ui(preview);
        const auto sheet = ui.Zoom_Ori->sheetPicture();
        QCOMPARE(sheet->blocks().size(), 1);
        for (int i = 0; i < 4; ++i)
            preview.PushButton1_Click();
        const PreviewGeometry &geometry = preview.previewGeometry();
        QCOMPARE(geometry.zoom(), 2.0f);
        const QSize zoomed(geometry.zoomWidth(), geometry.zoomHeight());
        QCOMPARE(zoomed, sheet->logicalSize() * 2);
        QCOMPARE(ui.Picture1->size(), geometry.pictureOuter());

        const QImage drawn = ui.Picture1->sheetDrawingPart(QRect(QPoint(0, 0), zoomed));
        const QSize device = zoomed * ratio;
        QCOMPARE(drawn.size(), device);

        // The office's page at 192 dpi (times the screen's ratio) ...
        const QByteArray &pdf = sheet->blocks().first().pdf;
        const QImage sharp = pageRows(pdf, 192.0 * ratio, 0, device.height(), device.width());
        // ... and at 96 dpi, stretched to the same size.
        const QSize plainSize = sheet->sizeAt(ratio, ratio);
        const QImage stretched = pageRows(pdf, 96.0 * ratio, 0, plainSize.height(), plainSize.width())
                                     .scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QCOMPARE(sharp.size(), device);
        QVERIFY(ink(sharp) > device.width() * 10);

        const qint64 all = qint64(device.width()) * device.height();
        const qint64 fromSharp = differing(drawn, sharp, 0, 48);
        const qint64 fromStretched = differing(drawn, stretched, 0, 48);
        QVERIFY2(fromSharp * 1000 <= all, qPrintable(QStringLiteral("%1 of %2 pixels differ from 192 dpi").arg(fromSharp).arg(all)));
        // A stretched drawing blurs every edge of text and lines.
        QVERIFY2(fromStretched > 10 * fromSharp + all / 1000,
                 qPrintable(QStringLiteral("%1 of %2 pixels differ from the stretched drawing").arg(fromStretched).arg(all)));

        // On the screen, the viewport shows those pixels.
        const QImage shot = ui.Picture2->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int inset = int(std::lround((ui.Picture2->frameWidth() + 1) * ratio));
        const QSize visible(int(std::lround(600 * ratio)), int(std::lround(480 * ratio)));
        QVERIFY(differing(shot.copy(QRect(QPoint(inset, inset), visible)), drawn.copy(QRect(QPoint(0, 0), visible)), 0, 48)
                * 1000 <= qint64(visible.width()) * visible.height());
    }
};

QTEST_MAIN(TestLongPreview)
#include "test_long_preview.moc"
