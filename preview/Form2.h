#pragma once

#include "Form2Host.h"
#include "PreviewGeometry.h"
#include "PreviewPicture.h"
#include "SheetExport.h"

#include <QCursor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <QSizeF>

#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;

namespace quorbel {

class Dialogs;
class PictureBox;
class Printing;

// What the preview window uses from outside besides its host and its
// dialogs. Not owned; either may be null.
struct Form2Services {
    // Writes the workbook as .xlsx, .ods or a PDF for paper: saving in those
    // formats, and printing. Null: those commands report that no converter
    // is available.
    SheetExporter *exporter = nullptr;
    // The system's print dialog and print queues. Null: "Print..." reports
    // that printing is not available.
    Printing *printing = nullptr;
};

// The preview window: the picture of the filled sheet with zoom, scroll bars
// and drag-to-pan, "Save Results To Excel File" (a copy of the scratch
// workbook under a name the user picks, or the workbook converted to .xlsx,
// .ods or PDF) and "< Back" to the main window. The picture's context menu
// and the window's keys copy the picture (Ctrl+C) and print the sheet
// (Ctrl+P). Closing it deletes the scratch workbook and ends the program.
//
// Hand-over from the template command, in this order:
//
//     Form2 &preview = program.previewWindow(); // made at its first use:
//                                           // Form_Load runs in the constructor
//     preview.loadPictureFile(bmpPath);     // or preview.setPicture(image)
//     preview.mExcelFile = workbookPath;
//     preview.setPictureDescription(text);  // what a screen reader says of it
//     program.showPreviewWindow();          // ends the offices kept ahead and
//                                           // shows it, not modal; the first
//                                           // activation sets up zoom and
//                                           // scroll bars
//     mainWindow->hide();
//
// The window is kept after "< Back" and reused for the next run: a picture
// handed over again (setPicture or loadPictureFile) is set up afresh at the
// next activation, at zoom 1.0 with scroll bars describing that picture. A
// plain show() without a new picture keeps the state the window had.
//
// Borders: the viewport Picture2 has a 2-pixel sunken border (outer 622 x 495,
// inner 618 x 491), the picture box Picture1 a 1-pixel line, the hidden
// holder Zoom_Ori none; so a picture of W x H pixels gives Picture1 an outer
// size of (W + 2) x (H + 2) and a natural size (mOrigWidth x mOrigHeight) of
// exactly W x H.
class Form2 : public QWidget, private PreviewSurface {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 656;
    static constexpr int kClientHeight = 626;

    // Its boxes and the save dialog show through `dialogs`; converting and
    // printing go through `services`.
    Form2(Form2Host &host, Dialogs &dialogs, Form2Services services = {}, QWidget *parent = nullptr);
    ~Form2() override;

    // The full path of the scratch workbook; copied on save, deleted on
    // "< Back" and on closing.
    QString mExcelFile;

    // Assigns the picture of the sheet to Picture1, which takes its logical
    // size: the office's pages (drawn only where the viewport shows them, at
    // the screen's device pixel ratio and, zoomed, at 96 dpi x the zoom) or
    // an ordinary image. No picture empties Picture1.
    void setPicture(const PreviewPicture &picture);
    // Loads a picture file into Picture1 (PreviewPicture::fromFile: the
    // office's pages, a .bmp or any format Qt reads).
    // When the file cannot be read the window shows no picture, as after
    // showNoPicture (never an older picture), and Failure is thrown.
    void loadPictureFile(const QString &path);
    // No picture of the sheet could be made: Picture1 is emptied and the
    // picture area says so, in a plain sentence, until the next picture.
    void showNoPicture();
    // The sentence shown by showNoPicture, or null while a picture shows.
    const QWidget *noPictureNote() const;

    // Sets a bar's position to `percent` of its Max; a negative percent, or
    // one above 100, changes nothing.
    void SetHScrollbarByPercent(QScrollBar *HScrollbar, qint16 percent);
    void SetVScrollbarByPercent(QScrollBar *VScrollbar, qint16 percent);

    // The picture as handed over (setPicture, loadPictureFile): what "Copy"
    // copies. Null while no picture shows.
    const PreviewPicture &picture() const { return m_picture; }
    // What a screen reader says of the picture (its size is added to it).
    void setPictureDescription(const QString &description);

    const PreviewGeometry &previewGeometry() const { return m_geometry; }
    // True until the next activation has set up the picture.
    bool firstActivatePending() const { return mFirstActivate; }
    // The custom pointer over the push buttons (the hand from "HAND-M.CUR",
    // or the default pointer when the file is missing).
    const QCursor &customPointer() const { return m_hand; }

    // Event handlers.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Unload();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
    void PushButton8_Click();
    // "Copy": the sheet's picture on the clipboard, as PNG at the screen's
    // scale (SheetPictureMimeData: reduced for very long sheets) and, for a
    // sheet the office drew on one page, that page as PDF.
    void mnuCopy_Click();
    // "Print...": the system's print dialog; the sheet as the office
    // paginates it for the paper chosen, handed as a PDF to the queue chosen
    // or written to the file chosen.
    void mnuPrint_Click();
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);
    void Picture1_MouseDown(Qt::MouseButton button, float x, float y);
    void Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y);
    void Picture1_MouseUp(Qt::MouseButton button, float x, float y);

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Controls, with their designed names, which are also their object
    // names.
    PictureBox *const Picture2;
    PictureBox *const Picture1;
    PictureBox *const Zoom_Ori;
    QScrollBar *const HScroll1;
    QScrollBar *const VScroll1;
    QGroupBox *const Frame1;
    QPushButton *const PushButton1; // "Zoom In"
    QPushButton *const PushButton2; // "Zoom Out"
    QPushButton *const PushButton8; // "< Back"
    QPushButton *const PushButton6; // "Save Results To Excel File"
    // The picture's context menu (right mouse button over the picture, the
    // Menu key or Shift+F10 anywhere in the window) and its commands, whose
    // keys work anywhere in the window.
    QMenu *const PictureMenu;
    QAction *const mnuCopy;  // "Copy", Ctrl+C; enabled while a picture shows
    QAction *const mnuPrint; // "Print...", Ctrl+P

    // PreviewSurface
    void preparePicture() override;
    void fillHolder() override;
    void clearPicture() override;
    void drawStretched(QSize source, QSize destination) override;
    void setDefaultPointer() override;
    void controlsChanged() override;

    void buildLayout();
    // Writes the workbook in `format` on paper of `paperMm` to a new file in
    // the scratch folder, whose name goes to `file` first (so that the caller
    // deletes whatever is there, also after a failure).
    void convertWorkbook(SheetFormat format, QSizeF paperMm, QString &file);
    void setScrollbarByPercent(QScrollBar *bar, qint16 percent);

    Form2Host &m_host;
    Dialogs &m_dialogs;
    Form2Services m_services;
    PreviewPicture m_picture; // as handed over; what "Copy" copies
    QLabel *m_noPictureNote = nullptr;
    PreviewGeometry m_geometry;
    bool mFirstActivate = true;
    QCursor m_hand;
    bool m_centred = false;
    bool m_closing = false;
};

} // namespace quorbel
