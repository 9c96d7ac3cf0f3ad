#pragma once

#include <QPoint>
#include <QSize>
#include <QtGlobal>

namespace quorbel {

class Dialogs;
class Steps;

enum class Axis { Horizontal, Vertical };

// One scroll bar as the preview uses it: lower bound 0, upper bound `max`,
// position `value`, all 16-bit signed. A fresh bar has Max 32767.
struct ScrollBarState {
    qint16 value = 0;
    qint16 max = 32767;
    bool enabled = true;
};

// Border widths of the three boxes, in pixels on each side.
struct PreviewBorders {
    int viewport = 2; // Picture2
    int picture = 1;  // Picture1
    int holder = 0;   // Zoom_Ori
};

// What the geometry cannot do with numbers alone: the pixels of the picture
// boxes, the window's pointer, and keeping the real controls in line with the
// numbers. The preview window implements it; every member may stay a no-op.
class PreviewSurface {
public:
    virtual ~PreviewSurface() = default;
    // Picture1: sizes itself to its picture, white background; what is drawn
    // on it stays shown when covered. Every drawing copies pixels unchanged,
    // so no drawing mode is set.
    virtual void preparePicture() {}
    // Zoom_Ori: hidden, and given Picture1's picture at natural size.
    virtual void fillHolder() {}
    // Picture1's picture is removed.
    virtual void clearPicture() {}
    // The holder's picture from (0, 0) with size `source` is drawn stretched
    // into Picture1 from (0, 0) with size `destination`, a plain copy.
    virtual void drawStretched(QSize source, QSize destination) { Q_UNUSED(source) Q_UNUSED(destination) }
    // The window's pointer becomes the default pointer.
    virtual void setDefaultPointer() {}
    // A size, a position or a scroll bar changed: bring the controls in line.
    virtual void controlsChanged() {}
};

// The geometry of the preview window: a fixed viewport (Picture2), the
// picture box inside it (Picture1) that moves to scroll, a hidden holder of
// the picture at natural size (Zoom_Ori), the zoom factor in quarter steps
// from 0.25 to 2.0, two scroll bars derived from how far the picture
// overhangs the viewport, and drag-to-pan.
//
// All lengths are pixels. Each box has an outer size (with its border) and an
// inner size (without); each formula uses the one it names.
//
// Numeric rules: conversions to whole numbers round to nearest with halves
// to even; a value that does not fit its 16-bit or 32-bit target is a
// Failure ("Overflow"); assigning a bar a position outside 0..Max is a
// Failure ("Invalid property value"). The zoom factor and pointer positions
// are 32-bit floats, products and quotients of sizes doubles.
//
// Two behaviours go beyond plain 16-bit arithmetic so that any picture can be
// shown:
//  - a bar's picture offset (step x position) is formed in 32 bits, so a
//    picture overhanging the viewport by more than 32,767 pixels scrolls to
//    its far edge instead of overflowing; for every smaller picture this is
//    the same number the 16-bit product gives;
//  - beyond an overhang of 327,670 pixels the large step grows from 10 in
//    multiples of 10 until the bar's Max fits 16 bits.
class PreviewGeometry {
public:
    using Borders = PreviewBorders;

    static constexpr int kZoomLimit = 2000;     // zoomed sizes must stay below this
    static constexpr int kFineOverhang = 100;   // up to this overhang a bar moves 1 pixel per unit

    explicit PreviewGeometry(QSize viewportOuter, Borders borders = {}, PreviewSurface *surface = nullptr);
    // The layout of the preview window: viewport 622 x 495.
    static PreviewGeometry standard(PreviewSurface *surface = nullptr);

    void setSurface(PreviewSurface *surface) { m_surface = surface; }
    // What shows the reports of RedrawImage (not owned; null: standard error).
    void setDialogs(Dialogs *dialogs) { m_dialogs = dialogs; }
    const Borders &borders() const { return m_borders; }

    // --- Controls ----------------------------------------------------------
    QSize viewportOuter() const { return m_viewportOuter; }
    QSize viewportInner() const { return inner(m_viewportOuter, m_borders.viewport); }
    // Picture1's left and top inside the viewport's inner area.
    QPoint pictureOffset() const { return m_pictureOffset; }
    QSize pictureOuter() const { return m_pictureOuter; }
    QSize pictureInner() const { return inner(m_pictureOuter, m_borders.picture); }
    QSize holderOuter() const { return m_holderOuter; }
    QSize holderInner() const { return inner(m_holderOuter, m_borders.holder); }
    const ScrollBarState &bar(Axis axis) const { return axis == Axis::Horizontal ? m_hBar : m_vBar; }

    // --- Fields --------------------------------------------------------------
    float zoom() const { return mZoom; }
    qint32 origWidth() const { return mOrigWidth; }
    qint32 origHeight() const { return mOrigHeight; }
    qint32 zoomWidth() const { return mZoomWidth; }
    qint32 zoomHeight() const { return mZoomHeight; }
    qint16 step(Axis axis) const { return axis == Axis::Horizontal ? mHStep : mVStep; }
    float dragX() const { return mDragX; }
    float dragY() const { return mDragY; }

    // --- Hand-over -------------------------------------------------------
    // A picture of `natural` size is assigned to Picture1, which sizes itself
    // to it (its outer size is the picture plus its border); a null picture
    // leaves only the border. Its position does not change.
    void pictureAssigned(QSize natural);
    // Back to the state of a freshly loaded window, so that the next
    // first-activation setup describes the picture now in Picture1 alone:
    // both bars fresh (Max 32767, position 0, enabled, step 0) and Picture1
    // at the viewport's origin. No change handling is raised.
    void rearm();

    // --- Procedures --------------------------------------------------------
    // The first-activation setup, its steps numbered from `steps`' owner
    // (Form_Activate) on: 102 Picture1, 104 holder, 106 zoom 1.0, 108 natural
    // size, 110 zoomed size, 112 RedrawImage, 114 SetupScrollbars.
    void firstActivationSetup(Steps &steps);
    // Recomputes the zoomed size and redraws Picture1 from the holder, or
    // falls back to zoom 1.0 (without drawing) when the zoomed picture would
    // reach 2000 pixels. A redraw puts both bars and the picture back at the
    // origin. Reports its own failures ("Form2.RedrawImage").
    void RedrawImage();
    // direction 0: one step up; anything else: one step down.
    void StepZoom(qint32 direction);
    void ApplyZoom(float candidate);
    // Each bar's use, bound and step from the picture's and the viewport's
    // outer sizes; Picture1 back to the origin.
    void SetupScrollbars();

    // Assigning a bar's position; raises the bar's change handling when the
    // position differs from the old one.
    void setBarValue(Axis axis, int value);
    // HScroll1_Change / VScroll1_Change: Picture1's offset on that axis
    // becomes -(step x position).
    void barChanged(Axis axis);

    // Drag to pan; x and y are the pointer's position inside Picture1.
    void mouseDown(float x, float y);
    void mouseMove(bool buttonDown, float x, float y);
    // On release: how far Picture1 sits from the origin, as a percentage of
    // the overhang. Failure "Division by zero" when the outer sizes are equal.
    qint32 percentX() const;
    qint32 percentY() const;
    // SetHScrollbarByPercent / SetVScrollbarByPercent.
    void setScrollbarByPercent(Axis axis, qint16 percent);

    // --- Numbers -------------------------------------------------------------
    // Rounds to the nearest whole number, a half to the even one.
    static double roundHalfEven(double value);
    static qint16 toInt16(double value); // rounds; Failure "Overflow"
    static qint32 toInt32(double value); // rounds; Failure "Overflow"

private:
    static QSize inner(QSize outer, int border);
    ScrollBarState &barRef(Axis axis) { return axis == Axis::Horizontal ? m_hBar : m_vBar; }
    qint16 &stepRef(Axis axis) { return axis == Axis::Horizontal ? mHStep : mVStep; }
    void setBarMax(Axis axis, qint16 max);
    void setupBar(Axis axis);
    void takeNaturalSize();
    void zoomedSizeAtOne();
    void changed();

    QSize m_viewportOuter;
    Borders m_borders;
    PreviewSurface *m_surface = nullptr;
    Dialogs *m_dialogs = nullptr;

    QPoint m_pictureOffset;
    QSize m_pictureOuter;
    QSize m_holderOuter;
    ScrollBarState m_hBar;
    ScrollBarState m_vBar;

    float mZoom = 1.0f;
    qint32 mOrigWidth = 0;
    qint32 mOrigHeight = 0;
    qint32 mZoomWidth = 0;
    qint32 mZoomHeight = 0;
    qint16 mHStep = 0;
    qint16 mVStep = 0;
    float mDragX = 0.0f;
    float mDragY = 0.0f;
};

} // namespace quorbel
