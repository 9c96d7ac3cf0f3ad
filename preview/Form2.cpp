#include "Form2.h"

#include "ButtonKeys.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileCopy.h"
#include "FileProcs.h"
#include "PictureBox.h"
#include "ScratchFolder.h"
#include "Title.h"
#include "WindowLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
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

} // namespace

Form2::Form2(Form2Host &host, Dialogs &dialogs, QWidget *parent)
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
      m_host(host),
      m_dialogs(dialogs),
      m_geometry(PreviewGeometry::standard(this)),
      m_hand(Qt::ArrowCursor)
{
    m_geometry.setDialogs(&m_dialogs);
    buildLayout();

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
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
}

// --- Hand-over -----------------------------------------------------------------

void Form2::setPicture(const PreviewPicture &picture)
{
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

// --- Save and back -------------------------------------------------------------

void Form2::PushButton6_Click()
{
    Steps steps(m_dialogs, QStringLiteral("Form2.PushButton6_Click"));
    QString chosen;
    std::optional<BoxAnswer> answer;
    bool alreadyThere = false;
    bool overwrite = false; // the user agreed to replace the entry at the name
    // Over an existing entry the copy is made beside it first, so that the
    // old entry goes only once its replacement is complete.
    std::unique_ptr<StagedCopy> staged;
    QString stagingError;

    steps(100, [&] {
        chosen = m_dialogs.getSaveFileName(QStringLiteral("Save File"), {QStringLiteral("Excel Files (*.xls)")}).fileName;
    });
    if (steps.test(102, [&] { return !chosen.isEmpty(); })) {
        // Any entry at the name counts, the name itself and not what it
        // leads to: a link planted there (also one leading nowhere) is asked
        // about, and a Yes replaces the link, never its target.
        if (steps.test(104, [&] { return nameTaken(chosen); })) {
            steps(106, [&] {
                answer = messageBox(m_dialogs,
                                    QStringLiteral("Are you sure you wish to overwrite ") + chosen + QStringLiteral(" ?"),
                                    BoxButtons::YesNo, BoxAnswer::Yes);
            });
            // Choosing the scratch workbook itself: it already is the
            // result, and deleting it first would lose it.
            alreadyThere = sameFile(chosen, mExcelFile);
            if (steps.test(108, [&] { return answer == BoxAnswer::Yes; }) && !alreadyThere) {
                overwrite = true;
                steps(110, [&] {
                    try {
                        staged = std::make_unique<StagedCopy>(mExcelFile, chosen);
                    } catch (const Failure &failure) {
                        stagingError = failure.description();
                        return; // the old file stays
                    }
                });
            }
        } else {
            steps(112, [&] { answer = BoxAnswer::Yes; });
        }
    }
    if (steps.test(114, [&] { return answer == BoxAnswer::Yes; }) && !alreadyThere) {
        steps(116, [&] {
            if (!stagingError.isEmpty())
                throw Failure(stagingError + QStringLiteral(" The existing file was kept."));
            if (!staged)
                staged = std::make_unique<StagedCopy>(mExcelFile, chosen);
            // The copy replaces the old entry in one step; a name found free
            // is only taken, never replaced unasked.
            staged->commit(overwrite);
        });
    }
    steps(118, [&] { messageBox(m_dialogs, QStringLiteral("Done.")); });
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
