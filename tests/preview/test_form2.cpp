// The preview window on offscreen: layout, hand-over, zoom and drag through
// real events, saving with scripted dialogs and a fake converter, copying,
// printing through a fake print system, "< Back" and closing.

#include "ErrorReport.h"
#include "Failure.h"
#include "FileCopy.h"
#include "FileProcs.h"
#include "Form2.h"
#include "PictureBox.h"
#include "PreviewControls.h"
#include "Printing.h"
#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "SheetExport.h"
#include "SheetPicture.h"
#include "TestFiles.h"
#include "Title.h"

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QPdfWriter>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorbel;

using quorbel::test::readAll;
using quorbel::test::writeFile;

namespace {

class FakeHost final : public Form2Host {
public:
    QStringList calls;
    void showMainWindow() override { calls << QStringLiteral("showMainWindow"); }
    void storeListBeforeExit() override { calls << QStringLiteral("storeListBeforeExit"); }
    void endProgram() override { calls << QStringLiteral("endProgram"); }
};

// A picture with a pattern, so that a copy of it can be told apart.
QImage makePicture(int width, int height, QColor colour = QColor(40, 120, 200))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(colour);
    for (int x = 0; x < width; x += 20)
        painter.drawLine(x, 0, x, height - 1);
    for (int y = 0; y < height; y += 20)
        painter.drawLine(0, y, width - 1, y);
    return image;
}

// A converter that writes bytes of its own for each format, or fails as
// told (leaving a part of a file behind, which the window must not keep).
class FakeExporter final : public SheetExporter {
public:
    struct Call {
        QString workbook;
        SheetFormat format;
        QString target;
        QSizeF paperMm;
    };
    QList<Call> calls;
    QString failure;

    static QByteArray bytesFor(SheetFormat format)
    {
        return QByteArray("converted, format ") + QByteArray::number(int(format)) + QByteArray("\x00\xff", 2);
    }

    void exportWorkbook(const QString &workbook, SheetFormat format, const QString &target, QSizeF paperMm,
                        const CancellationToken *) override
    {
        calls.append({workbook, format, target, paperMm});
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw Failure(QStringLiteral("The converter could not write ") + target);
        if (!failure.isEmpty()) {
            file.write("a part");
            throw Failure(failure);
        }
        file.write(bytesFor(format));
    }
};

// The print dialog answers as scripted; each job records what it was handed,
// the bytes of the file among them, or fails as told.
class FakePrinting final : public Printing {
public:
    std::optional<PrintChoice> next;
    QList<QSizeF> offeredPaper;
    struct Job {
        PrintChoice choice;
        QByteArray bytes;
        QString title;
    };
    QList<Job> jobs;
    QString failure;

    std::optional<PrintChoice> choosePrinter(const QString &, QSizeF paperMm) override
    {
        offeredPaper.append(paperMm);
        return next;
    }
    int printFile(const PrintChoice &choice, const QString &pdf, const QString &title) override
    {
        jobs.append({choice, readAll(pdf), title});
        if (!failure.isEmpty())
            throw Failure(failure);
        return 41;
    }
};

// A shown preview with a scratch workbook in a folder of its own.
struct Shown {
    test::ScriptedDialogs dialogs;
    FakeHost host;
    FakeExporter exporter;
    FakePrinting printing;
    QTemporaryDir dir;
    Form2 form;
    test::PreviewControls ui;
    QString scratch;
    QByteArray scratchBytes;

    explicit Shown(QSize picture = QSize(1000, 700), bool converter = true)
        : form(host, dialogs, Form2Services {converter ? &exporter : nullptr, &printing}), ui(form)
    {
        scratch = dir.filePath(QStringLiteral("vantyk12345678.xls"));
        scratchBytes = QByteArray("workbook bytes \x00\x01\x02 end", 22);
        writeFile(scratch, scratchBytes);
        form.setPicture(makePicture(picture.width(), picture.height()));
        form.mExcelFile = scratch;
        form.show();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const Box &box : dialogs.boxes)
            texts << box.text;
        return texts;
    }
};

} // namespace

class Form2Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void layoutFollowsTheDesign();
    void windowIsFixedCaptionedAndCentred();
    void firstShowSetsUpThePicture();
    void zoomButtonsRedrawAndStop();
    void scrollBarsMoveThePicture();
    void pointerOverButtonsAndAfterRedraw();
    void dragWithTheMouseMovesAndClamps();
    void clickOnPictureAsWideAsViewportReportsAndGoesOn();
    void saveCancelled();
    void saveToNewName();
    void saveOverExistingFile_data();
    void saveOverExistingFile();
    void copyIsStagedPrivatelyAndTakesAFreeNameOnly_data();
    void copyIsStagedPrivatelyAndTakesAFreeNameOnly();
    void saveUsesNameWithoutExtensionUnchanged();
    void twoSavesGiveIdenticalCopies();
    void failedCopyIsReportedThenDone();
    void failedCopyOverAnExistingFileKeepsIt();
    void saveOntoScratchWorkbookKeepsIt();
    void backDeletesScratchShowsMainWindowAndHides();
    void closingDeletesStoresAndEnds();
    void secondPictureAfterBackStartsAfresh();
    void showAgainWithoutNewPictureKeepsState();
    void newPictureOnShownWindowIsSetUpAtOnce();
    void pictureWiderThan16BitsScrollsToItsEdge();
    void loadPictureFile();
    void hostilePictureFileIsNoPicture_data();
    void hostilePictureFileIsNoPicture();
    void saveKeepsTheTargetsPermissions();
    void noPictureStillSavesTheWorkbook();
    void pictureFileOfAHigherPixelRatio();
    void saveInEachType_data();
    void saveInEachType();
    void convertedSaveOverALinkOrFailing_data();
    void convertedSaveOverALinkOrFailing();
    void copyPutsPngAndPdfOnTheClipboard_data();
    void copyPutsPngAndPdfOnTheClipboard();
    void printHandsTheConvertersPdfOn_data();
    void printHandsTheConvertersPdfOn();
};

void Form2Test::initTestCase()
{
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(makePicture(32, 32, Qt::red))));
    SetApplicationTitle();
}

void Form2Test::layoutFollowsTheDesign()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    QCOMPARE(form.size(), QSize(656, 626));
    QCOMPARE(ui.Picture2->geometry(), QRect(8, 8, 622, 495));
    QCOMPARE(ui.Picture2->contentsRect(), QRect(2, 2, 618, 491));
    QCOMPARE(ui.Picture1->frameWidth(), 1);
    QCOMPARE(ui.Picture1->pos(), QPoint(0, 0));
    QCOMPARE(ui.Picture1->parentWidget()->parentWidget(), ui.Picture2);
    QCOMPARE(ui.Picture1->parentWidget()->geometry(), QRect(2, 2, 618, 491));
    QVERIFY(ui.Picture1->parentWidget()->isVisibleTo(ui.Picture2));
    QCOMPARE(ui.VScroll1->geometry(), QRect(630, 8, 17, 495));
    QCOMPARE(ui.HScroll1->geometry(), QRect(8, 503, 622, 17));
    QCOMPARE(ui.Frame1->geometry(), QRect(8, 524, 640, 57));
    QCOMPARE(ui.Frame1->title(), QStringLiteral("Zoom:"));
    QCOMPARE(ui.PushButton1->parentWidget(), ui.Frame1);
    QCOMPARE(ui.PushButton1->geometry(), QRect(16, 20, 296, 27));
    QCOMPARE(ui.PushButton1->text(), QStringLiteral("Zoom In"));
    QCOMPARE(ui.PushButton2->geometry(), QRect(320, 20, 304, 27));
    QCOMPARE(ui.PushButton2->text(), QStringLiteral("Zoom Out"));
    QCOMPARE(ui.PushButton8->geometry(), QRect(8, 590, 312, 27));
    QCOMPARE(ui.PushButton8->text(), QStringLiteral("< Back"));
    QCOMPARE(ui.PushButton6->geometry(), QRect(328, 590, 320, 27));
    QCOMPARE(ui.PushButton6->text(), QStringLiteral("Save Results To Excel File"));
    QCOMPARE(ui.Zoom_Ori->pos(), QPoint(688, 32));
    QCOMPARE(ui.HScroll1->maximum(), 32767);
    QVERIFY(form.firstActivatePending());
    QVERIFY(dialogs.boxes.isEmpty());
}

void Form2Test::windowIsFixedCaptionedAndCentred()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    Form2 form(host, dialogs);
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorbel"));
    QCOMPARE(form.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    QCOMPARE(form.minimumSize(), QSize(656, 626));
    QCOMPARE(form.maximumSize(), QSize(656, 626));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    // The build puts "HAND-M.CUR" beside the program: the custom pointer is
    // the hand read from it.
    QVERIFY(FileExists(QDir(programFolder()).filePath(QStringLiteral("HAND-M.CUR"))));
    QCOMPARE(form.customPointer().shape(), Qt::BitmapCursor);

    form.setPicture(makePicture(300, 200));
    form.show();
    const QRect area = form.screen()->availableGeometry();
    // The window with its frame: equal room left and right, above and below.
    const QRect frame = form.frameGeometry();
    QVERIFY(qAbs((frame.left() - area.left()) - (area.right() - frame.right())) <= 1);
    QVERIFY(qAbs((frame.top() - area.top()) - (area.bottom() - frame.bottom())) <= 1);
    QVERIFY(dialogs.boxes.isEmpty());
}

void Form2Test::firstShowSetsUpThePicture()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    const QImage picture = makePicture(1000, 700);
    form.setPicture(picture);
    // Handed over, not yet shown: sized to the picture plus its border.
    QCOMPARE(ui.Picture1->size(), QSize(1002, 702));
    QVERIFY(form.firstActivatePending());

    form.show();
    QVERIFY(!form.firstActivatePending());
    QVERIFY(ui.Zoom_Ori->isHidden());
    QCOMPARE(ui.Zoom_Ori->size(), QSize(1002, 702));
    QCOMPARE(ui.Zoom_Ori->picture(), picture);
    QCOMPARE(form.previewGeometry().zoom(), 1.0f);
    QCOMPARE(ui.Picture1->size(), QSize(1000, 700));
    QCOMPARE(ui.Picture1->drawing().size(), QSize(1000, 700));
    QCOMPARE(ui.Picture1->drawing().pixel(20, 40), picture.pixel(20, 40));
    QCOMPARE(ui.HScroll1->maximum(), 38);
    QCOMPARE(ui.VScroll1->maximum(), 20);
    QVERIFY(ui.HScroll1->isEnabled());
    QCOMPARE(ui.HScroll1->value(), 0);
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);

    // Later activations change nothing.
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&form, &activate);
    QCOMPARE(ui.Picture1->size(), QSize(1000, 700));
    QVERIFY(dialogs.boxes.isEmpty());
}

void Form2Test::zoomButtonsRedrawAndStop()
{
    Shown s(QSize(400, 300));
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    QCOMPARE(s.form.previewGeometry().zoom(), 2.0f);
    QCOMPARE(s.ui.Picture1->size(), QSize(800, 600));
    QCOMPARE(s.ui.Picture1->drawing().size(), QSize(800, 600));
    QVERIFY(s.ui.HScroll1->isEnabled());
    QVERIFY(s.ui.VScroll1->isEnabled());
    // Ranges stay those of the first activation: the picture fitted then.
    QCOMPARE(s.ui.HScroll1->maximum(), 32767);

    for (int i = 0; i < 8; ++i)
        QTest::mouseClick(s.ui.PushButton2, Qt::LeftButton);
    QCOMPARE(s.form.previewGeometry().zoom(), 0.25f);
    QCOMPARE(s.ui.Picture1->size(), QSize(100, 75));
    QVERIFY(!s.ui.HScroll1->isEnabled());
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::scrollBarsMoveThePicture()
{
    Shown s(QSize(1000, 560));
    s.ui.HScroll1->setValue(12);
    QCOMPARE(s.ui.Picture1->pos(), QPoint(-120, 0));
    s.ui.VScroll1->setValue(65);
    QCOMPARE(s.ui.Picture1->pos(), QPoint(-120, -65));
    s.ui.HScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(s.ui.Picture1->pos(), QPoint(-380, -65));
    // A redraw brings both back.
    QTest::mouseClick(s.ui.PushButton2, Qt::LeftButton);
    QCOMPARE(s.ui.Picture1->pos(), QPoint(0, 0));
    QCOMPARE(s.ui.HScroll1->value(), 0);
}

void Form2Test::pointerOverButtonsAndAfterRedraw()
{
    Shown s(QSize(400, 300));
    const auto moveOver = [](QWidget *widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    };
    const bool handFile = FileExists(QDir(programFolder()).filePath(QStringLiteral("HAND-M.CUR")));
    QCOMPARE(s.form.customPointer().shape(), handFile ? Qt::BitmapCursor : Qt::ArrowCursor);

    moveOver(s.ui.PushButton6);
    QCOMPARE(s.form.cursor().shape(), s.form.customPointer().shape());
    moveOver(s.ui.Frame1);
    QCOMPARE(s.form.cursor().shape(), Qt::ArrowCursor);
    moveOver(s.ui.PushButton8);
    QCOMPARE(s.form.cursor().shape(), s.form.customPointer().shape());
    moveOver(&s.form);
    QCOMPARE(s.form.cursor().shape(), Qt::ArrowCursor);

    // The busy pointer is left alone by the feedback, not by a redraw.
    s.form.setCursor(Qt::WaitCursor);
    moveOver(s.ui.PushButton1);
    QCOMPARE(s.form.cursor().shape(), Qt::WaitCursor);
    QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    QCOMPARE(s.form.cursor().shape(), Qt::ArrowCursor);
}

void Form2Test::dragWithTheMouseMovesAndClamps()
{
    Shown s(QSize(1000, 700));
    PictureBox *picture = s.ui.Picture1;
    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(500, 300));
    QTest::mouseMove(picture, QPoint(450, 280));
    QCOMPARE(picture->pos(), QPoint(-50, -20));
    // The grabbed point stays under the pointer: keep pulling far left/up.
    QTest::mouseMove(picture, QPoint(-4000, -4000));
    QCOMPARE(picture->pos(), QPoint(-382, -209));
    // Bars are not touched while the button is held.
    QCOMPARE(s.ui.HScroll1->value(), 0);
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(100, 100));
    // 101% and 102%: above Max, so bars and picture stay.
    QCOMPARE(s.ui.HScroll1->value(), 0);
    QCOMPARE(s.ui.VScroll1->value(), 0);
    QCOMPARE(picture->pos(), QPoint(-382, -209));

    // Dropped part way: the bars follow and the picture snaps to 10 pixels.
    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(picture, QPoint(287, 100));
    QCOMPARE(picture->pos(), QPoint(-195, -209));
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(287, 100));
    QCOMPARE(s.ui.HScroll1->value(), 20);
    QCOMPARE(picture->pos(), QPoint(-200, -209));

    // Moving without a button does nothing.
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), picture->mapToGlobal(QPointF(10, 10)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &move);
    QCOMPARE(picture->pos(), QPoint(-200, -209));
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::clickOnPictureAsWideAsViewportReportsAndGoesOn()
{
    Shown s(QSize(622, 300));
    QTest::mouseClick(s.ui.Picture1, Qt::LeftButton, {}, QPoint(50, 50));
    const QStringList errors = s.dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first(), errorReportText(QStringLiteral("Division by zero"),
                                             QStringLiteral("Form2.Picture1_MouseUp"), 100));
    QVERIFY(errors.first().contains(QStringLiteral("\r\nin Lintravo2021/08/31.Form2.Picture1_MouseUp at line 100\r\r")));
}

void Form2Test::saveCancelled()
{
    Shown s;
    s.dialogs.setNextFileName(QString());
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(s.dialogs.saveRequests.size(), 1);
    QCOMPARE(s.dialogs.saveRequests.first().title, QStringLiteral("Save File"));
    QCOMPARE(s.dialogs.saveRequests.first().filters,
             (QStringList {QStringLiteral("Excel Files (*.xls)"), QStringLiteral("Excel Workbook (*.xlsx)"),
                           QStringLiteral("OpenDocument Spreadsheet (*.ods)"), QStringLiteral("PDF (*.pdf)")}));
    QCOMPARE(s.dialogs.boxes.size(), 1);
    const Box &done = s.dialogs.boxes.first();
    QCOMPARE(done.text, QStringLiteral("Done."));
    QCOMPARE(done.buttons, BoxButtons::Ok);
    QCOMPARE(done.icon, BoxIcon::None);
    QCOMPARE(done.title, applicationTitle());
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("vantyk12345678.xls")});
}

void Form2Test::saveToNewName()
{
    Shown s;
    const QString target = s.path(QStringLiteral("result.xls"));
    s.dialogs.setNextFileName(target);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(readAll(target), s.scratchBytes);
    QCOMPARE(s.boxTexts(), QStringList{QStringLiteral("Done.")});
    QVERIFY(FileExists(s.scratch));
}

// What is at the chosen name, as another user may plant it in a shared
// sticky folder such as /tmp.
enum class Planted { File, LinkToOwnFile, DanglingLink, LinkToFolder };

void Form2Test::saveOverExistingFile_data()
{
    QTest::addColumn<Planted>("planted");
    QTest::addColumn<bool>("yes");
    const std::pair<const char *, Planted> entries[] = {{"file", Planted::File},
                                                         {"link to a file of the user's", Planted::LinkToOwnFile},
                                                         {"dangling link", Planted::DanglingLink},
                                                         {"link to a folder", Planted::LinkToFolder}};
    for (const auto &[name, planted] : entries) {
        QTest::addRow("%s, Yes", name) << planted << true;
        QTest::addRow("%s, No", name) << planted << false;
    }
}

// Any entry at the name is asked about; a Yes replaces the entry itself with
// a plain file, a No leaves it. What a link leads to is never written,
// truncated or created.
void Form2Test::saveOverExistingFile()
{
    QFETCH(Planted, planted);
    QFETCH(bool, yes);
    Shown s;
    QVERIFY(::chmod(QFile::encodeName(s.dir.path()).constData(), 01777) == 0);
    const QString own = s.path(QStringLiteral("own"));
    QVERIFY(QDir().mkdir(own));
    const QByteArray older("an older workbook, longer than the new one: 0123456789");
    const QString ownFile = own + QStringLiteral("/victim.xls");
    writeFile(ownFile, older);
    const QString missing = own + QStringLiteral("/missing.xls");
    const QString target = s.path(QStringLiteral("older.xls"));
    const QString leadsTo = planted == Planted::LinkToOwnFile  ? ownFile
                            : planted == Planted::DanglingLink ? missing
                                                               : own;
    if (planted == Planted::File) {
        writeFile(target, older);
    } else {
        QVERIFY(QFile::link(leadsTo, target));
        // Another user's link, where the system's protected links apply.
        if (::geteuid() == 0)
            QVERIFY(::lchown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
    }
    s.dialogs.setNextFileName(target);
    s.dialogs.setNextAnswer(yes ? BoxAnswer::Yes : BoxAnswer::No);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);

    QCOMPARE(s.dialogs.boxes.size(), 2);
    const Box &question = s.dialogs.boxes.first();
    QCOMPARE(question.text, QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"));
    QCOMPARE(question.buttons, BoxButtons::YesNo);
    QCOMPARE(question.defaultButton, BoxAnswer::Yes);
    QCOMPARE(question.icon, BoxIcon::None);
    QCOMPARE(question.title, applicationTitle());
    QCOMPARE(s.dialogs.boxes.last().text, QStringLiteral("Done."));
    QVERIFY(s.dialogs.errorTexts().isEmpty());

    const QFileInfo atName(target);
    if (yes) {
        QVERIFY(!atName.isSymLink());
        QVERIFY(atName.isFile());
        QCOMPARE(readAll(target), s.scratchBytes);
    } else if (planted == Planted::File) {
        QCOMPARE(readAll(target), older);
    } else {
        QCOMPARE(atName.symLinkTarget(), leadsTo);
    }
    QCOMPARE(readAll(ownFile), older);
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(QDir(own).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("victim.xls")});
    // Nothing left beside the target.
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("older.xls"), QStringLiteral("own"), QStringLiteral("vantyk12345678.xls")}));
}

void Form2Test::copyIsStagedPrivatelyAndTakesAFreeNameOnly_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("name found free") << false;
    QTest::newRow("replacing agreed") << true;
}

// The copy waits beside the target as a new file of the user's alone under
// a name nobody can plant first. A link planted at a name found free before
// the copy is put in place is kept; one the user agreed to replace is
// replaced itself. Neither is followed.
void Form2Test::copyIsStagedPrivatelyAndTakesAFreeNameOnly()
{
    QFETCH(bool, replace);
    Shown s;
    const QString target = s.path(QStringLiteral("result.xls"));
    const QString ownFile = s.path(QStringLiteral("victim.xls"));
    writeFile(ownFile, "the user's own file");
    const QStringList before = QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);

    // The files each copy waits in, in the order the copies were made.
    QStringList tempNames;
    const auto stagedNow = [&] {
        QStringList names = QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : std::as_const(before) + tempNames)
            names.removeOne(name);
        return names;
    };
    StagedCopy first(s.scratch, target);
    tempNames << stagedNow();
    StagedCopy second(s.scratch, target);
    tempNames << stagedNow();
    QCOMPARE(tempNames.size(), 2);
    QVERIFY(tempNames.first() != tempNames.last());
    for (const QString &name : std::as_const(tempNames)) {
        QVERIFY2(name.startsWith(QStringLiteral("result.xls.")), qPrintable(name));
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(s.path(name)).constData(), &info) == 0);
        QVERIFY(S_ISREG(info.st_mode));
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        QCOMPARE(info.st_uid, ::geteuid());
    }

    QVERIFY(QFile::link(ownFile, target));
    if (replace) {
        first.commit(true);
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(readAll(target), s.scratchBytes);
    } else {
        QVERIFY_THROWS_EXCEPTION(Failure, first.commit(false));
        QCOMPARE(QFileInfo(target).symLinkTarget(), ownFile);
    }
    QCOMPARE(readAll(ownFile), QByteArray("the user's own file"));
    QVERIFY(!QFileInfo::exists(s.path(tempNames.first())));
}

// Saving over a file keeps its permissions (a private file stays
// private); a new file gets the usual ones.
void Form2Test::saveKeepsTheTargetsPermissions()
{
    Shown s;
    const QString target = s.path(QStringLiteral("private.xls"));
    writeFile(target, "an older workbook");
    const QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QVERIFY(QFile::setPermissions(target, privateFile));
    QFile::setPermissions(s.scratch, privateFile | QFile::ReadGroup | QFile::ReadOther);
    s.dialogs.setNextFileName(target);
    s.dialogs.setNextAnswer(BoxAnswer::Yes);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(readAll(target), s.scratchBytes);
    QCOMPARE(QFile::permissions(target), privateFile);

    const QString fresh = s.path(QStringLiteral("fresh.xls"));
    const mode_t mask = ::umask(0027);
    s.dialogs.setNextFileName(fresh);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    ::umask(mask);
    QCOMPARE(readAll(fresh), s.scratchBytes);
    QCOMPARE(QFile::permissions(fresh), privateFile | QFile::ReadGroup);
    QVERIFY(s.dialogs.errorTexts().isEmpty());
}

void Form2Test::saveUsesNameWithoutExtensionUnchanged()
{
    Shown s;
    const QString target = s.path(QStringLiteral("result"));
    s.dialogs.setNextFileName(target);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(readAll(target), s.scratchBytes);
    QVERIFY(!QFile::exists(target + QStringLiteral(".xls")));
    QCOMPARE(s.boxTexts(), QStringList{QStringLiteral("Done.")});
}

void Form2Test::twoSavesGiveIdenticalCopies()
{
    Shown s;
    const QString first = s.path(QStringLiteral("first.xls"));
    const QString second = s.path(QStringLiteral("second.xls"));
    s.dialogs.setNextFileName(first);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    s.dialogs.setNextFileName(second);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(readAll(first), s.scratchBytes);
    QCOMPARE(readAll(second), s.scratchBytes);
    QCOMPARE(readAll(s.scratch), s.scratchBytes);
    QCOMPARE(s.boxTexts(), (QStringList{QStringLiteral("Done."), QStringLiteral("Done.")}));
}

void Form2Test::failedCopyIsReportedThenDone()
{
    Shown s;
    // A folder that does not exist.
    const QString target = s.path(QStringLiteral("no such folder/result.xls"));
    s.dialogs.setNextFileName(target);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(s.dialogs.boxes.size(), 2);
    const Box &error = s.dialogs.boxes.first();
    QCOMPARE(error.title, QStringLiteral("Application Error"));
    QCOMPARE(error.icon, BoxIcon::Exclamation);
    QVERIFY2(error.text.startsWith(QStringLiteral("Could not copy ")), qPrintable(error.text));
    QVERIFY(error.text.contains(QStringLiteral("\r\nin Lintravo2021/08/31.Form2.PushButton6_Click at line 116\r\r")));
    QCOMPARE(s.dialogs.boxes.last().text, QStringLiteral("Done."));

    // The scratch workbook gone as well: reported the same way.
    s.dialogs.clear();
    QVERIFY(QFile::remove(s.scratch));
    s.dialogs.setNextFileName(s.path(QStringLiteral("other.xls")));
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(s.dialogs.errorTexts().size(), 1);
    QCOMPARE(s.dialogs.boxes.last().text, QStringLiteral("Done."));
    QVERIFY(!QFile::exists(s.path(QStringLiteral("other.xls"))));
}

void Form2Test::failedCopyOverAnExistingFileKeepsIt()
{
    Shown s;
    const QString target = s.path(QStringLiteral("older.xls"));
    writeFile(target, "the older workbook");
    QVERIFY(QFile::remove(s.scratch));
    s.dialogs.setNextFileName(target);
    s.dialogs.setNextAnswer(BoxAnswer::Yes);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    const QStringList errors = s.dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(QStringLiteral("The existing file was kept.\r\nin Lintravo2021/08/31.Form2.PushButton6_Click at line 116\r\r")));
    QCOMPARE(s.dialogs.boxes.last().text, QStringLiteral("Done."));
    QCOMPARE(readAll(target), QByteArray("the older workbook"));
    QCOMPARE(QDir(s.dir.path()).entryList({QStringLiteral("older.xls.*")}, QDir::Files), QStringList());
}

void Form2Test::saveOntoScratchWorkbookKeepsIt()
{
    Shown s;
    s.dialogs.setNextFileName(s.scratch);
    s.dialogs.setNextAnswer(BoxAnswer::Yes);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);
    QCOMPARE(s.boxTexts(), (QStringList{QStringLiteral("Are you sure you wish to overwrite ") + s.scratch
                                            + QStringLiteral(" ?"),
                                        QStringLiteral("Done.")}));
    QCOMPARE(readAll(s.scratch), s.scratchBytes);
}

void Form2Test::backDeletesScratchShowsMainWindowAndHides()
{
    Shown s;
    QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    QTest::mouseClick(s.ui.PushButton8, Qt::LeftButton);
    QVERIFY(!QFile::exists(s.scratch));
    QCOMPARE(s.host.calls, QStringList{QStringLiteral("showMainWindow")});
    QVERIFY(s.form.isHidden());
    // Still loaded with its state.
    QCOMPARE(s.form.previewGeometry().zoom(), 1.25f);
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::closingDeletesStoresAndEnds()
{
    Shown s;
    QVERIFY(s.form.close());
    QVERIFY(!QFile::exists(s.scratch));
    QCOMPARE(s.host.calls, (QStringList{QStringLiteral("storeListBeforeExit"), QStringLiteral("endProgram")}));
    QVERIFY(s.form.isHidden());
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::secondPictureAfterBackStartsAfresh()
{
    Shown s(QSize(1000, 700));
    QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    s.ui.HScroll1->setValue(5);
    QTest::mouseClick(s.ui.PushButton8, Qt::LeftButton);

    // The next run of the template command hands over a new picture.
    const QImage second = makePicture(700, 400, Qt::darkGreen);
    s.form.setPicture(second);
    s.form.mExcelFile = s.path(QStringLiteral("vantyk87654321.xls"));
    s.form.show();

    QCOMPARE(s.form.previewGeometry().zoom(), 1.0f);
    QCOMPARE(s.form.previewGeometry().origWidth(), 700);
    QCOMPARE(s.ui.Zoom_Ori->picture(), second);
    QCOMPARE(s.ui.Zoom_Ori->size(), QSize(702, 402));
    QCOMPARE(s.ui.Picture1->size(), QSize(700, 400));
    QCOMPARE(s.ui.Picture1->pos(), QPoint(0, 0));
    QCOMPARE(s.ui.Picture1->drawing().pixel(0, 0), second.pixel(0, 0));
    // Overhang 78: a step-1 bar; the new picture fits vertically: a fresh,
    // disabled bar (Max 32767 as loaded).
    QCOMPARE(s.ui.HScroll1->maximum(), 78);
    QCOMPARE(s.ui.HScroll1->value(), 0);
    QCOMPARE(s.form.previewGeometry().step(Axis::Horizontal), qint16(1));
    QVERIFY(!s.ui.VScroll1->isEnabled());
    QCOMPARE(s.ui.VScroll1->maximum(), 32767);
    QCOMPARE(s.form.previewGeometry().step(Axis::Vertical), qint16(0));
    s.ui.HScroll1->setValue(78);
    QCOMPARE(s.ui.Picture1->pos(), QPoint(-78, 0));
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::showAgainWithoutNewPictureKeepsState()
{
    Shown s(QSize(1000, 700));
    QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    QTest::mouseClick(s.ui.PushButton8, Qt::LeftButton);
    s.form.show();
    QCOMPARE(s.form.previewGeometry().zoom(), 1.25f);
    QCOMPARE(s.ui.Picture1->size(), QSize(1250, 875));
    QCOMPARE(s.ui.HScroll1->maximum(), 38);
}

void Form2Test::newPictureOnShownWindowIsSetUpAtOnce()
{
    Shown s(QSize(1000, 700));
    QTest::mouseClick(s.ui.PushButton1, Qt::LeftButton);
    s.form.setPicture(makePicture(900, 300));
    QCOMPARE(s.form.previewGeometry().zoom(), 1.0f);
    QCOMPARE(s.ui.Picture1->size(), QSize(900, 300));
    QCOMPARE(s.ui.HScroll1->maximum(), 28); // round(27.8)
    QVERIFY(!s.ui.VScroll1->isEnabled());
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::pictureWiderThan16BitsScrollsToItsEdge()
{
    // Overhang 33,500 + 2 - 622 = 32,880 pixels: more than a 16-bit offset.
    Shown s(QSize(33500, 20));
    QCOMPARE(s.ui.Picture1->width(), 33502); // not redrawn: too large
    QCOMPARE(s.ui.HScroll1->maximum(), 3288);
    s.ui.HScroll1->setValue(3288);
    QCOMPARE(s.ui.Picture1->x(), -32880);
    QTest::mousePress(s.ui.Picture1, Qt::LeftButton, {}, QPoint(40000, 10));
    QTest::mouseMove(s.ui.Picture1, QPoint(100, 10));
    QCOMPARE(s.ui.Picture1->x(), 618 - 33502);
    QTest::mouseRelease(s.ui.Picture1, Qt::LeftButton, {}, QPoint(100, 10));
    QCOMPARE(s.ui.HScroll1->value(), 3288);
    QVERIFY(s.dialogs.boxes.isEmpty());
}

void Form2Test::loadPictureFile()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    QTemporaryDir dir;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    const QImage picture = makePicture(320, 240);
    const QString bmp = dir.filePath(QStringLiteral("temp.bmp"));
    QVERIFY(picture.save(bmp, "BMP"));
    form.loadPictureFile(bmp);
    QCOMPARE(ui.Picture1->picture().size(), QSize(320, 240));
    QCOMPARE(ui.Picture1->size(), QSize(322, 242));

    bool failed = false;
    try {
        form.loadPictureFile(dir.filePath(QStringLiteral("missing.bmp")));
    } catch (const Failure &) {
        failed = true;
    }
    QVERIFY(failed);
    // The older picture never stands beside a new workbook: the picture
    // area says that there is no picture.
    QVERIFY(ui.Picture1->picture().isNull());
    QVERIFY(form.noPictureNote());
    const auto *note = qobject_cast<const QLabel *>(form.noPictureNote());
    QVERIFY(note);
    QCOMPARE(note->textFormat(), Qt::PlainText);
    QVERIFY(note->text().contains(QStringLiteral("No picture of the sheet could be made.")));
    QVERIFY(ui.Picture2->rect().contains(note->geometry()));

    // The next picture takes the sentence's place.
    form.loadPictureFile(bmp);
    QCOMPARE(ui.Picture1->picture().size(), QSize(320, 240));
    QVERIFY(!form.noPictureNote());
}

namespace {

// A one-page PDF, as poppler reads it.
QByteArray onePagePdf()
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(100, 50), QPageSize::Millimeter));
    QPainter painter(&writer);
    painter.drawRect(10, 10, 200, 100);
    painter.end();
    return pdf;
}

// A sheet picture's byte string with the header given as it is.
QByteArray pictureBytes(const QByteArray &head, const QList<QByteArray> &blockLines, const QByteArray &pages)
{
    QByteArray bytes = SheetPicture::kMagic + head + '\n';
    for (const QByteArray &line : blockLines)
        bytes += line + '\n';
    return bytes + pages;
}

} // namespace

// A damaged or hostile picture file is no picture: the preview says so, the
// picture shown before is gone and nothing crashes, also when the page that
// cannot be drawn only comes into view after the load.
void Form2Test::hostilePictureFileIsNoPicture_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("failsOnLoad");
    const QByteArray pdf = onePagePdf();
    const QByteArray size = QByteArray::number(pdf.size());
    const SheetPicture good(10000, 5000, {SheetPicture::Block {0, 5000, pdf}});
    QTest::newRow("page size past the end")
        << pictureBytes("10000 5000 1", {"0 5000 " + QByteArray::number(pdf.size() + 1000)}, pdf) << false << true;
    QTest::newRow("cut short") << good.toBytes().chopped(1) << false << true;
    QTest::newRow("huge width") << pictureBytes("20000000 5000 1", {"0 5000 " + size}, pdf) << false << true;
    QTest::newRow("height unequal to the blocks' sum")
        << pictureBytes("10000 6000 1", {"0 5000 " + size}, pdf) << false << true;
    QTest::newRow("height past an int in pixels")
        << pictureBytes("10000 56818838160 1", {"0 5000 " + size}, pdf) << false << true;
    QTest::newRow("a block taller than a page")
        << pictureBytes("10000 5000000 1", {"0 5000000 " + size}, pdf) << false << true;
    QTest::newRow("2^62 bytes claimed")
        << pictureBytes("10000 5000 1", {"0 5000 4611686018427387904"}, pdf) << false << true;
    QTest::newRow("a page that is not a PDF")
        << SheetPicture(10000, 5000, {SheetPicture::Block {0, 5000, QByteArray(64, 'x')}}).toBytes() << false << true;
    QTest::newRow("a link to a good picture") << good.toBytes() << true << true;
    QTest::newRow("second page not a PDF, seen when drawn")
        << SheetPicture(10000, 10000, {SheetPicture::Block {0, 5000, pdf}, SheetPicture::Block {5000, 5000, QByteArray(64, 'x')}})
               .toBytes()
        << false << false;
}

void Form2Test::hostilePictureFileIsNoPicture()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, link);
    QFETCH(bool, failsOnLoad);
    test::ScriptedDialogs dialogs;
    FakeHost host;
    QTemporaryDir dir;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    const QString path = dir.filePath(QStringLiteral("temp.bmp"));
    // The previous build's picture, shown.
    QVERIFY(makePicture(320, 240).save(path, "BMP"));
    form.loadPictureFile(path);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(ui.Zoom_Ori->hasPicture());
    QVERIFY(!ui.Picture1->drawing().isNull());

    QVERIFY(QFile::remove(path));
    const QString target = link ? dir.filePath(QStringLiteral("elsewhere")) : path;
    writeFile(target, bytes);
    if (link)
        QVERIFY(QFile::link(target, path));
    bool failed = false;
    try {
        form.loadPictureFile(path);
    } catch (const Failure &) {
        failed = true;
    }
    QCOMPARE(failed, failsOnLoad);
    // The page that cannot be drawn is met when the window paints it.
    form.repaint();
    QTRY_VERIFY(form.noPictureNote() && form.noPictureNote()->isVisible());
    // Nothing of the previous picture, nor of this one, is shown or kept.
    QVERIFY(!ui.Picture1->hasPicture());
    QVERIFY(!ui.Picture1->drawsSheet());
    QVERIFY(ui.Picture1->drawing().isNull());
    QVERIFY(!ui.Zoom_Ori->hasPicture());
    QVERIFY(!ui.Zoom_Ori->drawsSheet());
    QVERIFY(!form.grab().isNull());
    QVERIFY(dialogs.boxes.isEmpty());
}

// A picture file made for a screen of pixel ratio 2 (192 dpi) shows at its
// logical size; one of 96 dpi, or without a resolution, pixel for pixel.
void Form2Test::pictureFileOfAHigherPixelRatio()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    QTemporaryDir dir;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    QImage sharp = makePicture(400, 300);
    sharp.setDotsPerMeterX(int(std::lround(192 / 0.0254)));
    sharp.setDotsPerMeterY(int(std::lround(192 / 0.0254)));
    const QString bmp = dir.filePath(QStringLiteral("sharp.bmp"));
    QVERIFY(sharp.save(bmp, "BMP"));
    form.loadPictureFile(bmp);
    QCOMPARE(ui.Picture1->picture().devicePixelRatio(), 2.0);
    QCOMPARE(ui.Picture1->picture().size(), QSize(400, 300));
    QCOMPARE(ui.Picture1->size(), QSize(202, 152));

    QImage plain = makePicture(400, 300);
    plain.setDotsPerMeterX(int(std::lround(96 / 0.0254)));
    plain.setDotsPerMeterY(int(std::lround(96 / 0.0254)));
    QVERIFY(plain.save(bmp, "BMP"));
    form.loadPictureFile(bmp);
    QCOMPARE(ui.Picture1->picture().devicePixelRatio(), 1.0);
    QCOMPARE(ui.Picture1->size(), QSize(402, 302));
}

// A preview without a picture still saves the workbook, zooms and drags
// without a report.
void Form2Test::noPictureStillSavesTheWorkbook()
{
    test::ScriptedDialogs dialogs;
    FakeHost host;
    QTemporaryDir dir;
    Form2 form(host, dialogs);
    const test::PreviewControls ui(form);
    form.setPicture(makePicture(900, 700));
    form.showNoPicture();
    const QString workbook = dir.filePath(QStringLiteral("vantyk12345678.xls"));
    QFile file(workbook);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("workbook bytes");
    file.close();
    form.mExcelFile = workbook;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.noPictureNote() && form.noPictureNote()->isVisible());
    QVERIFY(ui.Picture1->picture().isNull());
    QVERIFY(ui.Zoom_Ori->picture().isNull());

    QTest::mouseClick(ui.PushButton1, Qt::LeftButton);
    QTest::mouseClick(ui.PushButton2, Qt::LeftButton);
    const QString target = dir.filePath(QStringLiteral("mine.xls"));
    dialogs.setNextFileName(target);
    QTest::mouseClick(ui.PushButton6, Qt::LeftButton);
    QCOMPARE(dialogs.errorTexts(), QStringList());
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("workbook bytes"));
}

namespace {

// The default locale for one test, and back afterwards.
struct LocaleForTest {
    QLocale before;
    explicit LocaleForTest(const QString &name) { QLocale::setDefault(QLocale(name)); }
    ~LocaleForTest() { QLocale::setDefault(before); }
};

bool samePaper(QSizeF a, QSizeF b)
{
    return qAbs(a.width() - b.width()) < 0.1 && qAbs(a.height() - b.height()) < 0.1;
}

// The converter's files still in the scratch folder.
QStringList conversionsLeft()
{
    return QDir(scratchFolder())
        .entryList({QStringLiteral("quorbel-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

const QSizeF kA4(210, 297);
const QSizeF kLetter(215.9, 279.4);

} // namespace

// The filter chosen or the extension typed decides the type; an .xls is the
// scratch workbook's bytes, every other type the converter's, made on the
// locale's paper for a PDF, in the scratch folder and gone afterwards.
void Form2Test::saveInEachType_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<SheetFormat>("format");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QSizeF>("paper");
    const QString xlsx = QStringLiteral("Excel Workbook (*.xlsx)");
    const QString ods = QStringLiteral("OpenDocument Spreadsheet (*.ods)");
    const QString pdf = QStringLiteral("PDF (*.pdf)");
    const std::tuple<const char *, const char *, QString, const char *, SheetFormat, const char *, QSizeF> rows[] = {
        {"xls, the first filter", "result.xls", QString(), "result.xls", SheetFormat::Xls, "de_DE", QSizeF()},
        {"xlsx by its filter, extension added", "result", xlsx, "result.xlsx", SheetFormat::Xlsx, "de_DE", QSizeF()},
        {"ods by its filter, extension added", "result", ods, "result.ods", SheetFormat::Ods, "de_DE", QSizeF()},
        {"pdf by its filter, Letter in the US", "result", pdf, "result.pdf", SheetFormat::Pdf, "en_US", kLetter},
        {"pdf typed over the xls filter, A4 in Germany", "result.PDF", QString(), "result.PDF", SheetFormat::Pdf,
         "de_DE", kA4},
        {"pdf, Letter in Canada", "sheet.pdf", QString(), "sheet.pdf", SheetFormat::Pdf, "en_CA", kLetter},
        {"xlsx typed over the pdf filter", "report.xlsx", pdf, "report.xlsx", SheetFormat::Xlsx, "en_US", QSizeF()},
        {"xls typed over the ods filter", "book.xls", ods, "book.xls", SheetFormat::Xls, "en_US", QSizeF()},
        {"unknown extension: the name as typed, the filter's type", "notes.txt", ods, "notes.txt", SheetFormat::Ods,
         "en_US", QSizeF()},
    };
    for (const auto &[row, typed, filter, saved, format, locale, paper] : rows)
        QTest::newRow(row) << QString::fromLatin1(typed) << filter << QString::fromLatin1(saved) << format
                           << QString::fromLatin1(locale) << paper;
}

void Form2Test::saveInEachType()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, saved);
    QFETCH(SheetFormat, format);
    QFETCH(QString, locale);
    QFETCH(QSizeF, paper);
    const LocaleForTest inLocale(locale);
    Shown s;
    s.dialogs.setNextFileName(s.path(typed), filter);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);

    QCOMPARE(s.boxTexts(), QStringList {QStringLiteral("Done.")});
    const QString target = s.path(saved);
    QCOMPARE(readAll(target), format == SheetFormat::Xls ? s.scratchBytes : FakeExporter::bytesFor(format));
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             (QStringList {saved, QStringLiteral("vantyk12345678.xls")}));
    QCOMPARE(s.exporter.calls.size(), format == SheetFormat::Xls ? 0 : 1);
    if (format != SheetFormat::Xls) {
        const FakeExporter::Call &call = s.exporter.calls.first();
        QCOMPARE(call.workbook, s.scratch);
        QCOMPARE(call.format, format);
        QCOMPARE(QFileInfo(call.target).absolutePath(), QFileInfo(scratchFolder()).absoluteFilePath());
        QVERIFY(!QFileInfo::exists(call.target));
        if (paper.isValid())
            QVERIFY2(samePaper(call.paperMm, paper),
                     qPrintable(QStringLiteral("%1 x %2").arg(call.paperMm.width()).arg(call.paperMm.height())));
    }
    QCOMPARE(conversionsLeft(), QStringList());
}

enum class AtName { Nothing, File, DanglingLink };
enum class Converter { Works, Fails, Missing };

void Form2Test::convertedSaveOverALinkOrFailing_data()
{
    QTest::addColumn<AtName>("planted");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<Converter>("converter");
    QTest::newRow("free name, the converter fails") << AtName::Nothing << true << Converter::Fails;
    QTest::newRow("over a file, Yes, the converter fails") << AtName::File << true << Converter::Fails;
    QTest::newRow("over a dangling link, Yes") << AtName::DanglingLink << true << Converter::Works;
    QTest::newRow("over a dangling link, No") << AtName::DanglingLink << false << Converter::Works;
    QTest::newRow("over a file, no converter") << AtName::File << true << Converter::Missing;
}

// A converted save asks about any entry at the name and replaces the entry
// itself; a converter that fails, or none at all, is reported with its step
// and leaves the name as it was.
void Form2Test::convertedSaveOverALinkOrFailing()
{
    QFETCH(AtName, planted);
    QFETCH(bool, yes);
    QFETCH(Converter, converter);
    Shown s(QSize(1000, 700), converter != Converter::Missing);
    if (converter == Converter::Fails)
        s.exporter.failure = QStringLiteral("The office could not write the PDF.");
    const QString target = s.path(QStringLiteral("result.pdf"));
    const QString leadsTo = s.path(QStringLiteral("elsewhere.pdf"));
    const QByteArray older("an older PDF");
    if (planted == AtName::File)
        writeFile(target, older);
    else if (planted == AtName::DanglingLink)
        QVERIFY(QFile::link(leadsTo, target));
    s.dialogs.setNextFileName(target);
    s.dialogs.setNextAnswer(yes ? BoxAnswer::Yes : BoxAnswer::No);
    QTest::mouseClick(s.ui.PushButton6, Qt::LeftButton);

    QStringList expected;
    if (converter == Converter::Missing) {
        expected << errorReportText(QStringLiteral("The workbook cannot be saved as PDF (*.pdf): no converter is "
                                                   "available. \"Excel Files (*.xls)\" saves it as it is."),
                                    QStringLiteral("Form2.PushButton6_Click"), 100);
    } else {
        if (planted != AtName::Nothing)
            expected << QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?");
        if (converter == Converter::Fails)
            expected << errorReportText(s.exporter.failure, QStringLiteral("Form2.PushButton6_Click"), 114);
    }
    expected << QStringLiteral("Done.");
    QCOMPARE(s.boxTexts(), expected);
    QCOMPARE(s.exporter.calls.size(), converter == Converter::Missing || !yes ? 0 : 1);

    const QFileInfo atName(target);
    if (converter == Converter::Works && yes) {
        QVERIFY(!atName.isSymLink());
        QCOMPARE(readAll(target), FakeExporter::bytesFor(SheetFormat::Pdf));
    } else if (planted == AtName::File) {
        QCOMPARE(readAll(target), older);
    } else if (planted == AtName::DanglingLink) {
        QCOMPARE(atName.symLinkTarget(), leadsTo);
    } else {
        QVERIFY(!atName.exists() && !atName.isSymLink());
    }
    QVERIFY(!QFileInfo::exists(leadsTo));
    QCOMPARE(conversionsLeft(), QStringList());
    QCOMPARE(QDir(s.dir.path()).entryList({QStringLiteral("result.pdf.*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

void Form2Test::copyPutsPngAndPdfOnTheClipboard_data()
{
    QTest::addColumn<int>("pages");
    QTest::newRow("sheet drawn on one page") << 1;
    QTest::newRow("sheet drawn on two pages") << 2;
    QTest::newRow("ordinary image") << 0;
}

// Ctrl+C and the picture's "Copy" put the picture on the clipboard: PNG at
// the screen's scale, and the office's page as PDF when the sheet took one.
void Form2Test::copyPutsPngAndPdfOnTheClipboard()
{
    QFETCH(int, pages);
    Shown s(QSize(300, 200));
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    const QByteArray pdf = onePagePdf();
    QVector<SheetPicture::Block> blocks;
    for (int page = 0; page < pages; ++page)
        blocks.append(SheetPicture::Block {page * 5000, 5000, pdf});
    const auto sheet = std::make_shared<const SheetPicture>(10000, pages * 5000, blocks);
    const QImage image = makePicture(300, 200);
    s.form.setPicture(pages > 0 ? PreviewPicture(sheet) : PreviewPicture(image));

    // The picture's menu holds both commands with their keys.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20),
                                 s.ui.Picture1->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(s.ui.Picture1, &rightClick);
    QTRY_VERIFY(s.ui.PictureMenu->isVisible());
    QStringList items;
    for (const QAction *action : s.ui.PictureMenu->actions())
        items << action->text() + QLatin1Char('\t') + action->shortcut().toString();
    QCOMPARE(items, (QStringList {QStringLiteral("Copy\tCtrl+C"), QStringLiteral("Print...\tCtrl+P")}));
    s.ui.PictureMenu->hide();

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&s.form, Qt::Key_C, Qt::ControlModifier);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QVERIFY(data->hasFormat(QStringLiteral("image/png")));
    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    const qreal ratio = s.form.devicePixelRatioF();
    if (pages > 0) {
        QCOMPARE(png.size(), sheet->sizeAt(ratio, ratio));
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32),
                 sheet->image(ratio).convertToFormat(QImage::Format_RGB32));
    } else {
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32), image);
    }
    QCOMPARE(data->hasFormat(QStringLiteral("application/pdf")), pages == 1);
    if (pages == 1)
        QCOMPARE(data->data(QStringLiteral("application/pdf")), pdf);

    // Without a picture there is nothing to copy: the clipboard stays.
    s.form.showNoPicture();
    QVERIFY(!s.ui.mnuCopy->isEnabled());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&s.form, Qt::Key_C, Qt::ControlModifier);
    const QMimeData *after = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!after || after->formats().isEmpty());
    QVERIFY(s.dialogs.boxes.isEmpty());
}

enum class Route { Queue, File, LinkedFile, Cancelled };
enum class PrintFault { None, QueueRefuses, ConverterFails, NoConverter };

void Form2Test::printHandsTheConvertersPdfOn_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<PrintFault>("fault");
    QTest::newRow("queue") << Route::Queue << true << PrintFault::None;
    QTest::newRow("to a file") << Route::File << true << PrintFault::None;
    QTest::newRow("to a file over a dangling link, Yes") << Route::LinkedFile << true << PrintFault::None;
    QTest::newRow("to a file over a dangling link, No") << Route::LinkedFile << false << PrintFault::None;
    QTest::newRow("cancelled") << Route::Cancelled << true << PrintFault::None;
    QTest::newRow("the queue refuses the job") << Route::Queue << true << PrintFault::QueueRefuses;
    QTest::newRow("the converter fails") << Route::Queue << true << PrintFault::ConverterFails;
    QTest::newRow("no converter") << Route::Queue << true << PrintFault::NoConverter;
}

// Ctrl+P: the print dialog is offered the locale's paper; the converter
// makes the PDF for the paper chosen, which goes as it is to the queue chosen
// with the copies and options chosen, or to the file chosen, never through a
// link there unasked. Failures are reported with their steps.
void Form2Test::printHandsTheConvertersPdfOn()
{
    QFETCH(Route, route);
    QFETCH(bool, yes);
    QFETCH(PrintFault, fault);
    const LocaleForTest inLocale(QStringLiteral("en_US"));
    Shown s(QSize(300, 200), fault != PrintFault::NoConverter);
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    const QString file = s.path(QStringLiteral("sheet.pdf"));
    const QString leadsTo = s.path(QStringLiteral("elsewhere.pdf"));
    PrintChoice choice;
    choice.copies = 3;
    choice.paperMm = QSizeF(148, 210); // A5
    if (route == Route::Queue) {
        choice.printer = QStringLiteral("office-laser");
        choice.options = {{QStringLiteral("media"), QStringLiteral("A5")},
                          {QStringLiteral("sides"), QStringLiteral("one-sided")}};
    } else {
        choice.file = file;
    }
    if (route == Route::LinkedFile)
        QVERIFY(QFile::link(leadsTo, file));
    if (route != Route::Cancelled)
        s.printing.next = choice;
    if (fault == PrintFault::QueueRefuses)
        s.printing.failure = QStringLiteral("The printer office-laser did not take the sheet: stopped");
    if (fault == PrintFault::ConverterFails)
        s.exporter.failure = QStringLiteral("The office could not write the PDF.");
    s.dialogs.setNextAnswer(yes ? BoxAnswer::Yes : BoxAnswer::No);
    QTest::keyClick(&s.form, Qt::Key_P, Qt::ControlModifier);

    const QString location = QStringLiteral("Form2.mnuPrint_Click");
    QStringList expected;
    if (route == Route::LinkedFile)
        expected << QStringLiteral("Are you sure you wish to overwrite ") + file + QStringLiteral(" ?");
    if (fault == PrintFault::NoConverter)
        expected << errorReportText(QStringLiteral("The sheet cannot be printed: no converter is available."),
                                    location, 100);
    if (fault == PrintFault::ConverterFails)
        expected << errorReportText(s.exporter.failure, location, 104);
    if (fault == PrintFault::QueueRefuses)
        expected << errorReportText(s.printing.failure, location, 112);
    QCOMPARE(s.boxTexts(), expected);

    // The dialog is shown only when there is something to print with.
    QCOMPARE(s.printing.offeredPaper.size(), fault == PrintFault::NoConverter ? 0 : 1);
    if (!s.printing.offeredPaper.isEmpty())
        QVERIFY(samePaper(s.printing.offeredPaper.first(), kLetter));
    const bool converts = route != Route::Cancelled && fault != PrintFault::NoConverter;
    QCOMPARE(s.exporter.calls.size(), converts ? 1 : 0);
    if (converts) {
        QCOMPARE(s.exporter.calls.first().workbook, s.scratch);
        QCOMPARE(s.exporter.calls.first().format, SheetFormat::Pdf);
        QCOMPARE(s.exporter.calls.first().paperMm, QSizeF(148, 210));
    }
    const bool printed = converts && fault != PrintFault::ConverterFails;
    QCOMPARE(s.printing.jobs.size(), printed && route == Route::Queue ? 1 : 0);
    if (!s.printing.jobs.isEmpty()) {
        const FakePrinting::Job &job = s.printing.jobs.first();
        QCOMPARE(job.choice.printer, QStringLiteral("office-laser"));
        QCOMPARE(job.choice.copies, 3);
        QCOMPARE(job.choice.options, choice.options);
        QCOMPARE(job.bytes, FakeExporter::bytesFor(SheetFormat::Pdf));
        QCOMPARE(job.title, QStringLiteral("Quorbel"));
    }
    const QFileInfo atFile(file);
    if (printed && route != Route::Queue && yes) {
        QVERIFY(!atFile.isSymLink());
        QCOMPARE(readAll(file), FakeExporter::bytesFor(SheetFormat::Pdf));
    } else if (route == Route::LinkedFile) {
        QCOMPARE(atFile.symLinkTarget(), leadsTo);
    } else {
        QVERIFY(!atFile.exists());
    }
    QVERIFY(!QFileInfo::exists(leadsTo));
    QCOMPARE(conversionsLeft(), QStringList());
}

QTEST_MAIN(Form2Test)
#include "test_form2.moc"
