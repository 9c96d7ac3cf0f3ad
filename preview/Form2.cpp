#include "Form2.h"

#include "ButtonKeys.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileCopy.h"
#include "FileProcs.h"
#include "Paper.h"
#include "PictureBox.h"
#include "Printing.h"
#include "SaveTypes.h"
#include "ScratchFolder.h"
#include "SheetPicture.h"
#include "Title.h"
#include "WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalBlocker>

#include <cmath>
#include <optional>

namespace quorbel {
namespace {

void syncBar(QScrollBar *widget, const ScrollBarState &state)
{
    const QSignalBlocker blocker(widget);
    widget->setRange(0, state.max);
    widget->setValue(state.value);
    widget->setEnabled(state.enabled);
}

// The busy pointer over the whole program while a conversion runs.
class BusyPointer {
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

// Puts a complete copy of `source` at `target`. Any entry at the name is
// replaced only when `overwrite` (the user agreed); the copy is made beside
// it first, so that the old entry goes only once its replacement is
// complete, and the name itself is replaced, never what a link there leads
// to.
void putInPlace(const QString &source, const QString &target, bool overwrite)
{
    std::unique_ptr<StagedCopy> staged;
    try {
        staged = std::make_unique<StagedCopy>(source, target);
    } catch (const Failure &failure) {
        if (overwrite)
            throw Failure(failure.description() + QStringLiteral(" The existing file was kept."));
        throw;
    }
    staged->commit(overwrite);
}

QString overwriteQuestion(const QString &name)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + name + QStringLiteral(" ?");
}

} // namespace

Form2::Form2(Form2Host &host, Dialogs &dialogs, Form2Services services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Picture2(new PictureBox(2, this)),
      Picture1(new PictureBox(1, Picture2->client())),
      Zoom_Ori(new PictureBox(0, this)),
      HScroll1(new QScrollBar(Qt::Horizontal, this)),
      VScroll1(new QScrollBar(Qt::Vertical, this)),
      Frame1(new QGroupBox(QStringLiteral("Zoom:"), this)),
      PushButton1(new QPushButton(QStringLiteral("Zoom In"), Frame1)),
      PushButton2(new QPushButton(QStringLiteral("Zoom Out"), Frame1)),
      PushButton8(new QPushButton(QStringLiteral("< Back"), this)),
      PushButton6(new QPushButton(QStringLiteral("Save Results To Excel File"), this)),
      PictureMenu(new QMenu(this)),
      mnuCopy(new QAction(QStringLiteral("Copy"), this)),
      mnuPrint(new QAction(QStringLiteral("Print..."), this)),
      m_host(host),
      m_dialogs(dialogs),
      m_services(services),
      m_geometry(PreviewGeometry::standard(this)),
      m_hand(Qt::ArrowCursor)
{
    m_geometry.setDialogs(&m_dialogs);
    buildLayout();

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(mnuCopy, &QAction::triggered, this, &Form2::mnuCopy_Click);
    connect(mnuPrint, &QAction::triggered, this, &Form2::mnuPrint_Click);
    connect(HScroll1, &QScrollBar::valueChanged, this, &Form2::HScroll1_Change);
    connect(VScroll1, &QScrollBar::valueChanged, this, &Form2::VScroll1_Change);
    Picture1->installEventFilter(this);
    // A sheet's page that cannot be drawn when it comes into view: no
    // picture, rather than white paper that looks like an empty sheet.
    connect(Picture1, &PictureBox::sheetDrawingFailed, this, [this] {
        if (!noPictureNote())
            showNoPicture();
    });

    Form_Load();

    installPointerFeedback(this, m_hand, {PushButton1, PushButton2, PushButton6, PushButton8}, {this, Frame1});
}

Form2::~Form2()
{
    // The controls go before the geometry that reports to this window.
    m_geometry.setSurface(nullptr);
}

void Form2::buildLayout()
{
    setFixedSize(kClientWidth, kClientHeight);

    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(8, 8, 622, 495);
    Picture2->client()->setGeometry(Picture2->contentsRect());
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoSize(true);
    Picture1->setBackgroundColour(Qt::white);
    Picture1->setGeometry(QRect(QPoint(0, 0), m_geometry.pictureOuter()));
    Zoom_Ori->setObjectName(QStringLiteral("Zoom_Ori"));
    Zoom_Ori->setGeometry(QRect(QPoint(688, 32), m_geometry.holderOuter()));

    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setGeometry(630, 8, 17, 495);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setGeometry(8, 503, 622, 17);
    syncBar(HScroll1, m_geometry.bar(Axis::Horizontal));
    syncBar(VScroll1, m_geometry.bar(Axis::Vertical));

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(8, 524, 640, 57);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setGeometry(16, 20, 296, 27);
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton2->setGeometry(320, 20, 304, 27);
    PushButton8->setObjectName(QStringLiteral("PushButton8"));
    PushButton8->setGeometry(8, 590, 312, 27);
    PushButton6->setObjectName(QStringLiteral("PushButton6"));
    PushButton6->setGeometry(328, 590, 320, 27);

    Picture2->setAccessibleName(QStringLiteral("Picture of the filled sheet"));
    Picture1->setAccessibleName(QStringLiteral("Filled sheet"));
    HScroll1->setAccessibleName(QStringLiteral("Scroll the picture sideways"));
    VScroll1->setAccessibleName(QStringLiteral("Scroll the picture up and down"));
    for (QPushButton *button : {PushButton1, PushButton2, PushButton8, PushButton6})
        pressOnReturn(button);

    // The commands of the picture's menu; their keys work anywhere in the
    // window.
    PictureMenu->setObjectName(QStringLiteral("PictureMenu"));
    mnuCopy->setObjectName(QStringLiteral("mnuCopy"));
    mnuCopy->setShortcut(QKeySequence::Copy);
    mnuCopy->setEnabled(false);
    mnuPrint->setObjectName(QStringLiteral("mnuPrint"));
    mnuPrint->setShortcut(QKeySequence::Print);
    for (QAction *action : {mnuCopy, mnuPrint}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        PictureMenu->addAction(action);
    }
}

// --- Hand-over -----------------------------------------------------------------

void Form2::setPicture(const PreviewPicture &picture)
{
    m_picture = picture;
    mnuCopy->setEnabled(!picture.isNull());
    if (m_noPictureNote)
        m_noPictureNote->setVisible(picture.isNull());
    Picture1->setPicture(picture);
    m_geometry.pictureAssigned(picture.logicalSize());
    if (!mFirstActivate) {
        // A window that already showed a picture: the next activation sets
        // everything up again, for this picture.
        mFirstActivate = true;
        m_geometry.rearm();
        if (isVisible())
            Form_Activate();
    }
}

void Form2::loadPictureFile(const QString &path)
{
    // Whatever goes wrong reading the picture (damaged bytes, a file that is
    // not the user's own, too little memory), the window shows no picture,
    // never an older one, and the caller learns why.
    try {
        setPicture(PreviewPicture::fromFile(path));
    } catch (const Failure &) {
        showNoPicture();
        throw;
    } catch (const std::exception &error) {
        showNoPicture();
        throw Failure(QStringLiteral("Could not read the picture %1: %2").arg(path, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        showNoPicture();
        throw Failure(QStringLiteral("Could not read the picture %1.").arg(path));
    }
}

void Form2::setPictureDescription(const QString &description)
{
    Picture1->setAccessibleDescription(description);
}

void Form2::showNoPicture()
{
    if (!m_noPictureNote) {
        m_noPictureNote = new QLabel(Picture2->client());
        m_noPictureNote->setObjectName(QStringLiteral("NoPictureNote"));
        m_noPictureNote->setTextFormat(Qt::PlainText);
        m_noPictureNote->setWordWrap(true);
        m_noPictureNote->setAlignment(Qt::AlignCenter);
        m_noPictureNote->setMargin(24);
        m_noPictureNote->setAutoFillBackground(true);
        QPalette palette = m_noPictureNote->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        m_noPictureNote->setPalette(palette);
        m_noPictureNote->setText(QStringLiteral(
            "No picture of the sheet could be made. The workbook itself was made: "
            "\"Save Results To Excel File\" saves it under a name of your choice."));
        m_noPictureNote->setGeometry(QRect(QPoint(0, 0), Picture2->client()->size()));
    }
    setPicture(PreviewPicture());
    m_noPictureNote->raise();
    m_noPictureNote->show();
}

const QWidget *Form2::noPictureNote() const
{
    return m_noPictureNote && !m_noPictureNote->isHidden() ? m_noPictureNote : nullptr;
}

// --- Load, activation, closing ---------------------------------------------------

void Form2::Form_Load()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.Form_Load"));
    steps(100, [&] { mFirstActivate = true; });
    steps(102, [&] { UseSystemColors(this); });
    steps(104, [&] { setWindowTitle(kProductTitle); });
    steps(106, [&] { setWindowIcon(QApplication::windowIcon()); });
    const QString cursorPath = QDir(programFolder()).filePath(kHandPointerFile);
    if (steps.test(108, [&] { return FileExists(cursorPath); })) {
        steps(110, [&] { m_hand = readHandPointer(cursorPath); });
    }
}

void Form2::Form_Activate()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.Form_Activate"));
    if (steps.test(100, [&] { return mFirstActivate; }))
        m_geometry.firstActivationSetup(steps);
    steps(116, [&] { mFirstActivate = false; });
}

void Form2::Form_QueryUnload()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.Form_QueryUnload"));
    steps(100, [&] {
        DeleteFileQuietly(mExcelFile);
        releaseScratchFolder(mExcelFile);
    });
    steps(102, [&] { QCoreApplication::processEvents(); });
    steps(104, [&] { QCoreApplication::processEvents(); });
    // The program ends from here without the main window's closing, so the
    // list is stored on this path too.
    steps(106, [&] { m_host.storeListBeforeExit(); });
}

void Form2::Form_Unload()
{
    m_host.endProgram();
}

bool Form2::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

void Form2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        centreOnScreen(this);
    }
    // Activation does not reach every platform (or arrives later); the first
    // show sets the picture up in any case, and only once per picture.
    Form_Activate();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // The close is never cancelled. Events processed while closing may ask
    // to close again; the first close does the work.
    event->accept();
    if (m_closing)
        return;
    m_closing = true;
    Form_QueryUnload();
    Form_Unload();
}

void Form2::contextMenuEvent(QContextMenuEvent *event)
{
    // The picture's menu: over the picture area, or from the keyboard
    // anywhere in the window (the buttons pass the Menu key on).
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    if (!keyboard && !Picture2->geometry().contains(event->pos())) {
        event->ignore();
        return;
    }
    event->accept();
    PictureMenu->popup(keyboard ? Picture2->mapToGlobal(Picture2->rect().center()) : event->globalPos());
}

// --- Save, copy, print and back -----------------------------------------------------

void Form2::PushButton6_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.PushButton6_Click"));
    SaveTarget target;
    std::optional<BoxAnswer> answer;
    bool alreadyThere = false;
    bool overwrite = false; // the user agreed to replace the entry at the name
    QString source;         // what goes to the name: the scratch workbook or its conversion
    QString converted;      // the conversion, in the scratch folder

    steps(100, [&] {
        const SaveChoice choice = m_dialogs.getSaveFileName(QStringLiteral("Save File"), saveFilters());
        if (choice.fileName.isEmpty())
            return;
        const SaveTarget chosen = saveTarget(choice.fileName, choice.filter);
        if (chosen.format != SheetFormat::Xls && !m_services.exporter)
            throw Failure(QStringLiteral("The workbook cannot be saved as %1: no converter is available. "
                                         "\"%2\" saves it as it is.")
                              .arg(saveType(chosen.format).filter, saveType(SheetFormat::Xls).filter));
        target = chosen;
    });
    if (steps.test(102, [&] { return !target.fileName.isEmpty(); })) {
        // Any entry at the name counts, the name itself and not what it
        // leads to: a link planted there (also one leading nowhere) is asked
        // about, and a Yes replaces the link, never its target.
        if (steps.test(104, [&] { return nameTaken(target.fileName); })) {
            steps(106, [&] {
                answer = messageBox(m_dialogs, overwriteQuestion(target.fileName), BoxButtons::YesNo, BoxAnswer::Yes);
            });
            // Choosing the scratch workbook itself as the workbook: it
            // already is the result, and replacing it would lose it.
            alreadyThere = target.format == SheetFormat::Xls && sameFile(target.fileName, mExcelFile);
            if (steps.test(108, [&] { return answer == BoxAnswer::Yes; }) && !alreadyThere)
                overwrite = true;
        } else {
            steps(110, [&] { answer = BoxAnswer::Yes; });
        }
    }
    if (steps.test(112, [&] { return answer == BoxAnswer::Yes; }) && !alreadyThere) {
        steps(114, [&] {
            if (target.format == SheetFormat::Xls) {
                source = mExcelFile;
                return;
            }
            // A PDF is laid out for the paper of the user's locale.
            convertWorkbook(target.format, paperMillimetres(localePaper()), converted);
            source = converted;
        });
        // The copy replaces the old entry in one step; a name found free is
        // only taken, never replaced unasked.
        if (!source.isEmpty())
            steps(116, [&] { putInPlace(source, target.fileName, overwrite); });
        if (!converted.isEmpty()) {
            steps(118, [&] {
                DeleteFileQuietly(converted);
                releaseScratchFolder(converted);
            });
        }
    }
    steps(120, [&] { messageBox(m_dialogs, QStringLiteral("Done.")); });
}

void Form2::mnuCopy_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.mnuCopy_Click"));
    steps(100, [&] {
        if (m_picture.isNull())
            return;
        // The image is drawn when a program asks for it, at the ratio of the
        // screen the window is on.
        auto *offered = m_picture.isSheet() ? new SheetPictureMimeData(m_picture.sheet(), devicePixelRatioF())
                                            : new SheetPictureMimeData(m_picture.image());
        QGuiApplication::clipboard()->setMimeData(offered);
    });
}

void Form2::mnuPrint_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.mnuPrint_Click"));
    std::optional<PrintChoice> choice;
    QString pdf;
    std::optional<BoxAnswer> answer;
    bool overwrite = false;

    const bool available = steps(100, [&] {
        if (!m_services.printing)
            throw Failure(QStringLiteral("The sheet cannot be printed: printing is not available."));
        if (!m_services.exporter)
            throw Failure(QStringLiteral("The sheet cannot be printed: no converter is available."));
    });
    if (!available)
        return;
    steps(102, [&] { choice = m_services.printing->choosePrinter(kProductTitle, paperMillimetres(localePaper())); });
    if (!choice)
        return;
    // The sheet as the office paginates it for the paper chosen.
    if (steps(104, [&] { convertWorkbook(SheetFormat::Pdf, choice->paperMm, pdf); })) {
        if (choice->toFile()) {
            if (steps.test(106, [&] { return nameTaken(choice->file); })) {
                steps(108, [&] {
                    answer = messageBox(m_dialogs, overwriteQuestion(choice->file), BoxButtons::YesNo, BoxAnswer::Yes);
                });
                overwrite = true;
            } else {
                answer = BoxAnswer::Yes;
            }
            if (answer == BoxAnswer::Yes)
                steps(110, [&] { putInPlace(pdf, choice->file, overwrite); });
        } else {
            steps(112, [&] { m_services.printing->printFile(*choice, pdf, kProductTitle); });
        }
    }
    if (!pdf.isEmpty()) {
        steps(114, [&] {
            DeleteFileQuietly(pdf);
            releaseScratchFolder(pdf);
        });
    }
}

void Form2::convertWorkbook(SheetFormat format, QSizeF paperMm, QString &file)
{
    if (!m_services.exporter)
        throw Failure(QStringLiteral("No converter is available."));
    // A name of the program's own in its private scratch folder, which no
    // one else can write to.
    const QString extension = saveType(format).extension;
    do {
        file = scratchPath(QStringLiteral("quorbel-%1.%2")
                               .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))
                               .arg(extension));
    } while (nameTaken(file));
    const BusyPointer busy;
    m_services.exporter->exportWorkbook(mExcelFile, format, file, paperMm);
}

void Form2::PushButton8_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.PushButton8_Click"));
    steps(100, [&] {
        DeleteFileQuietly(mExcelFile);
        releaseScratchFolder(mExcelFile);
    });
    steps(102, [&] { m_host.showMainWindow(); });
    steps(104, [&] { hide(); });
}

// --- Zoom, scroll and pan ----------------------------------------------------------

void Form2::PushButton1_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.PushButton1_Click"));
    steps(100, [&] { m_geometry.StepZoom(0); });
}

void Form2::PushButton2_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.PushButton2_Click"));
    steps(100, [&] { m_geometry.StepZoom(1); });
}

void Form2::HScroll1_Change(int value)
{
    // The bar's range mirrors the geometry's, so every position fits; a
    // scroll-bar change has no report of its own.
    try {
        m_geometry.setBarValue(Axis::Horizontal, value);
    } catch (const Failure &) {
        controlsChanged();
    }
}

void Form2::VScroll1_Change(int value)
{
    try {
        m_geometry.setBarValue(Axis::Vertical, value);
    } catch (const Failure &) {
        controlsChanged();
    }
}

void Form2::Picture1_MouseDown(Qt::MouseButton, float x, float y)
{
    Steps steps(m_dialogs, QStringLiteral("Form2.picture1_MouseDown"));
    steps(100, [&] { m_geometry.mouseDown(x, y); });
}

void Form2::Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y)
{
    Steps steps(m_dialogs, QStringLiteral("Form2.picture1_MouseMove"));
    steps(100, [&] { m_geometry.mouseMove(buttons != Qt::NoButton, x, y); });
}

void Form2::Picture1_MouseUp(Qt::MouseButton, float, float)
{
    Steps steps(m_dialogs, QStringLiteral("Form2.Picture1_MouseUp"));
    qint32 percentX = 0;
    qint32 percentY = 0;
    steps(100, [&] { percentX = m_geometry.percentX(); });
    steps(102, [&] { percentY = m_geometry.percentY(); });
    steps(104, [&] { SetHScrollbarByPercent(HScroll1, PreviewGeometry::toInt16(percentX)); });
    steps(106, [&] { SetVScrollbarByPercent(VScroll1, PreviewGeometry::toInt16(percentY)); });
}

void Form2::SetHScrollbarByPercent(QScrollBar *HScrollbar, qint16 percent)
{
    setScrollbarByPercent(HScrollbar, percent);
}

void Form2::SetVScrollbarByPercent(QScrollBar *VScrollbar, qint16 percent)
{
    setScrollbarByPercent(VScrollbar, percent);
}

void Form2::setScrollbarByPercent(QScrollBar *bar, qint16 percent)
{
    if (bar == HScroll1) {
        m_geometry.setScrollbarByPercent(Axis::Horizontal, percent);
    } else if (bar == VScroll1) {
        m_geometry.setScrollbarByPercent(Axis::Vertical, percent);
    } else if (bar) {
        // Any other bar: the same arithmetic on its own bound.
        if (percent < 0)
            return;
        const double target = double(percent) / 100.0 * bar->maximum();
        if (target <= bar->maximum())
            bar->setValue(PreviewGeometry::toInt16(target));
    }
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture1) {
        const auto inside = [this](const QMouseEvent *mouse) {
            // Positions inside the picture's drawing area, as 32-bit floats.
            const QPointF point = mouse->position() - QPointF(Picture1->frameWidth(), Picture1->frameWidth());
            return std::pair<float, float>(float(point.x()), float(point.y()));
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto [x, y] = inside(mouse);
            Picture1_MouseDown(mouse->button(), x, y);
            return true;
        }
        case QEvent::MouseMove: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto [x, y] = inside(mouse);
            Picture1_MouseMove(mouse->buttons(), x, y);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto [x, y] = inside(mouse);
            Picture1_MouseUp(mouse->button(), x, y);
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- What the geometry asks of the window -------------------------------------------

void Form2::preparePicture()
{
    Picture1->setAutoSize(true);
    Picture1->setBackgroundColour(Qt::white);
}

void Form2::fillHolder()
{
    Zoom_Ori->setVisible(false);
    Zoom_Ori->setPicture(Picture1->heldPicture());
}

void Form2::clearPicture()
{
    Picture1->clearPicture();
}

void Form2::drawStretched(QSize source, QSize destination)
{
    Picture1->setDrawing(Zoom_Ori->heldPicture(), source, destination);
}

void Form2::setDefaultPointer()
{
    setCursor(Qt::ArrowCursor);
}

void Form2::controlsChanged()
{
    Picture1->setGeometry(QRect(m_geometry.pictureOffset(), m_geometry.pictureOuter()));
    Zoom_Ori->resize(m_geometry.holderOuter());
    syncBar(HScroll1, m_geometry.bar(Axis::Horizontal));
    syncBar(VScroll1, m_geometry.bar(Axis::Vertical));
}

} // namespace quorbel
