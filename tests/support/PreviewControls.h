#pragma once

// The preview window's controls, found by their designed names.

#include "Controls.h"
#include "PictureBox.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

namespace quorbel::test {

struct PreviewControls {
    explicit PreviewControls(QWidget &preview)
        : Picture2(control<PictureBox>(preview, "Picture2")),
          Picture1(control<PictureBox>(preview, "Picture1")),
          Zoom_Ori(control<PictureBox>(preview, "Zoom_Ori")),
          HScroll1(control<QScrollBar>(preview, "HScroll1")),
          VScroll1(control<QScrollBar>(preview, "VScroll1")),
          Frame1(control<QGroupBox>(preview, "Frame1")),
          PushButton1(control<QPushButton>(preview, "PushButton1")),
          PushButton2(control<QPushButton>(preview, "PushButton2")),
          PushButton8(control<QPushButton>(preview, "PushButton8")),
          PushButton6(control<QPushButton>(preview, "PushButton6")),
          PictureMenu(control<QMenu>(preview, "PictureMenu")),
          mnuCopy(control<QAction>(preview, "mnuCopy")),
          mnuPrint(control<QAction>(preview, "mnuPrint"))
    {
    }

    PictureBox *Picture2;
    PictureBox *Picture1;
    PictureBox *Zoom_Ori;
    QScrollBar *HScroll1;
    QScrollBar *VScroll1;
    QGroupBox *Frame1;
    QPushButton *PushButton1; // "Zoom In"
    QPushButton *PushButton2; // "Zoom Out"
    QPushButton *PushButton8; // "< Back"
    QPushButton *PushButton6; // "Save Results To Excel File"
    QMenu *PictureMenu;
    QAction *mnuCopy;
    QAction *mnuPrint;
};

} // namespace quorbel::test
