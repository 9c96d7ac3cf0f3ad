#include "PreviewGeometry.h"

#include "ErrorReport.h"
#include "Failure.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace quorbel {
namespace {

const QString kOverflow = QStringLiteral("Overflow");
const QString kDivisionByZero = QStringLiteral("Division by zero");
const QString kInvalidValue = QStringLiteral("Invalid property value");

} // namespace

PreviewGeometry::PreviewGeometry(QSize viewportOuter, Borders borders, PreviewSurface *surface)
    : m_viewportOuter(viewportOuter), m_borders(borders), m_surface(surface),
      m_pictureOuter(2 * borders.picture, 2 * borders.picture),
      m_holderOuter(2 * borders.holder, 2 * borders.holder)
{
}

PreviewGeometry PreviewGeometry::standard(PreviewSurface *surface)
{
    return PreviewGeometry(QSize(622, 495), Borders{}, surface);
}

QSize PreviewGeometry::inner(QSize outer, int border)
{
    return QSize(qMax(0, outer.width() - 2 * border), qMax(0, outer.height() - 2 * border));
}

void PreviewGeometry::changed()
{
    if (m_surface)
        m_surface->controlsChanged();
}

// --- Numbers -----------------------------------------------------------------

double PreviewGeometry::roundHalfEven(double value)
{
    // std::nearbyint rounds halves to even in the default rounding mode, the
    // one the program runs in; should any other mode be set, it is put aside
    // for the call.
    const int mode = std::fegetround();
    if (mode == FE_TONEAREST)
        return std::nearbyint(value);
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(mode);
    return rounded;
}

qint16 PreviewGeometry::toInt16(double value)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<qint16>::min() && rounded <= std::numeric_limits<qint16>::max()))
        throw Failure(kOverflow);
    return static_cast<qint16>(rounded);
}

qint32 PreviewGeometry::toInt32(double value)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        throw Failure(kOverflow);
    return static_cast<qint32>(rounded);
}

// --- Hand-over ---------------------------------------------------------------

void PreviewGeometry::pictureAssigned(QSize natural)
{
    const QSize picture = natural.isValid() ? natural : QSize(0, 0);
    m_pictureOuter = picture + QSize(2 * m_borders.picture, 2 * m_borders.picture);
    changed();
}

void PreviewGeometry::rearm()
{
    m_hBar = ScrollBarState{};
    m_vBar = ScrollBarState{};
    mHStep = 0;
    mVStep = 0;
    m_pictureOffset = QPoint(0, 0);
    changed();
}

// --- First activation ------------------------------------------------------

void PreviewGeometry::takeNaturalSize()
{
    const QSize holder = holderInner();
    mOrigWidth = toInt32(holder.width() - 2.0);
    mOrigHeight = toInt32(holder.height() - 2.0);
}

void PreviewGeometry::zoomedSizeAtOne()
{
    mZoomWidth = toInt32(std::floor(double(mOrigWidth) * 1.0));
    mZoomHeight = toInt32(std::floor(double(mOrigHeight) * 1.0));
}

void PreviewGeometry::firstActivationSetup(Steps &steps)
{
    steps(102, [&] {
        if (m_surface)
            m_surface->preparePicture();
    });
    steps(104, [&] {
        m_holderOuter = m_pictureOuter;
        if (m_surface)
            m_surface->fillHolder();
        changed();
    });
    steps(106, [&] { mZoom = 1.0f; });
    steps(108, [&] { takeNaturalSize(); });
    steps(110, [&] { zoomedSizeAtOne(); });
    steps(112, [&] { RedrawImage(); });
    steps(114, [&] { SetupScrollbars(); });
}

// --- Redraw and zoom ---------------------------------------------------------

void PreviewGeometry::RedrawImage()
{
    StderrDialogs printed;
    Steps steps(m_dialogs ? *m_dialogs : printed, QStringLiteral("Form2.RedrawImage"));
    steps(100, [&] {
        mZoomWidth = toInt32(std::floor(double(mOrigWidth) * double(mZoom)));
        mZoomHeight = toInt32(std::floor(double(mOrigHeight) * double(mZoom)));
    });
    if (steps.test(102, [&] { return mZoomWidth < kZoomLimit && mZoomHeight < kZoomLimit; })) {
        steps(104, [&] {
            if (m_surface)
                m_surface->clearPicture();
        });
        steps(106, [&] {
            m_pictureOuter = QSize(mZoomWidth, mZoomHeight);
            changed();
        });
        steps(108, [&] {
            if (m_surface)
                m_surface->drawStretched(QSize(mOrigWidth, mOrigHeight), QSize(mZoomWidth, mZoomHeight));
        });
        steps(110, [&] {
            if (m_surface)
                m_surface->setDefaultPointer();
        });
        // Both bars go back to position 0, and the picture with them: the
        // change handling runs even when a bar already was at 0, so a picture
        // left elsewhere by a drag never stays off its origin at the new size.
        steps(112, [&] {
            setBarValue(Axis::Horizontal, 0);
            barChanged(Axis::Horizontal);
        });
        steps(114, [&] {
            setBarValue(Axis::Vertical, 0);
            barChanged(Axis::Vertical);
        });
        steps(116, [&] {
            m_hBar.enabled = viewportInner().width() < mZoomWidth;
            m_vBar.enabled = viewportInner().height() < mZoomHeight;
            changed();
        });
    } else {
        steps(118, [&] { mZoom = 1.0f; });
        steps(120, [&] { takeNaturalSize(); });
        steps(122, [&] { zoomedSizeAtOne(); });
    }
}

void PreviewGeometry::StepZoom(qint32 direction)
{
    const float quarter = 0.25f;
    const float candidate = direction == 0 ? mZoom + quarter : mZoom - quarter;
    ApplyZoom(candidate);
}

void PreviewGeometry::ApplyZoom(float candidate)
{
    if (candidate >= 0.25f && candidate <= 2.0f) {
        mZoom = candidate;
        RedrawImage();
    }
}

// --- Scroll bars -------------------------------------------------------------

void PreviewGeometry::setBarMax(Axis axis, qint16 max)
{
    ScrollBarState &bar = barRef(axis);
    bar.max = max;
    // A position above the new bound follows it down, as a scroll bar does.
    if (bar.value > max) {
        bar.value = max;
        barChanged(axis);
    }
    changed();
}

void PreviewGeometry::setupBar(Axis axis)
{
    const bool horizontal = axis == Axis::Horizontal;
    const int pictureOuter = horizontal ? m_pictureOuter.width() : m_pictureOuter.height();
    const int viewportOuter = horizontal ? m_viewportOuter.width() : m_viewportOuter.height();
    ScrollBarState &bar = barRef(axis);
    const double overhang = double(pictureOuter) - double(viewportOuter);

    if (pictureOuter <= viewportOuter) {
        bar.enabled = false;
        stepRef(axis) = 0;
        changed();
    } else if (overhang <= kFineOverhang) {
        bar.enabled = true;
        setBarMax(axis, toInt16(overhang));
        stepRef(axis) = 1;
        setBarValue(axis, 0);
    } else {
        // 10 pixels per unit; only an overhang beyond 16 bits of units takes
        // a larger multiple of 10.
        double step = 10.0;
        while (roundHalfEven(overhang / step) > std::numeric_limits<qint16>::max())
            step += 10.0;
        bar.enabled = true;
        setBarMax(axis, toInt16(overhang / step));
        stepRef(axis) = toInt16(step);
        setBarValue(axis, 0);
    }
}

void PreviewGeometry::SetupScrollbars()
{
    m_pictureOffset = QPoint(0, 0);
    changed();
    setupBar(Axis::Horizontal);
    setupBar(Axis::Vertical);
}

void PreviewGeometry::setBarValue(Axis axis, int value)
{
    ScrollBarState &bar = barRef(axis);
    if (value < 0 || value > bar.max)
        throw Failure(kInvalidValue);
    if (bar.value == value)
        return;
    bar.value = static_cast<qint16>(value);
    barChanged(axis);
}

void PreviewGeometry::barChanged(Axis axis)
{
    // step x position is at most 32767 x 32767, which 32 bits hold.
    const qint32 offset = -(qint32(step(axis)) * qint32(bar(axis).value));
    if (axis == Axis::Horizontal)
        m_pictureOffset.setX(offset);
    else
        m_pictureOffset.setY(offset);
    changed();
}

// --- Drag to pan ---------------------------------------------------------------

void PreviewGeometry::mouseDown(float x, float y)
{
    mDragX = x;
    mDragY = y;
}

void PreviewGeometry::mouseMove(bool buttonDown, float x, float y)
{
    if (!buttonDown)
        return;
    const QSize viewport = viewportInner();
    // The picture's new edge along one axis: moved with the pointer, but
    // never past the origin nor so far that the viewport shows beyond it.
    const auto moved = [](int offset, float drag, float pointer, int viewportSize, int pictureSize) {
        const float edge = float(offset) - drag + pointer;
        const float limit = float(viewportSize - pictureSize);
        if (edge > 0.0f)
            return 0.0f;
        return limit > edge ? limit : edge;
    };
    const float newLeft = moved(m_pictureOffset.x(), mDragX, x, viewport.width(), m_pictureOuter.width());
    const float newTop = moved(m_pictureOffset.y(), mDragY, y, viewport.height(), m_pictureOuter.height());
    m_pictureOffset = QPoint(toInt32(newLeft), toInt32(newTop));
    changed();
}

qint32 PreviewGeometry::percentX() const
{
    const double overhang = double(m_pictureOuter.width()) - double(m_viewportOuter.width());
    if (overhang == 0.0)
        throw Failure(kDivisionByZero);
    return toInt32(std::abs(double(m_pictureOffset.x())) / overhang * 100.0);
}

qint32 PreviewGeometry::percentY() const
{
    const double overhang = double(m_pictureOuter.height()) - double(m_viewportOuter.height());
    if (overhang == 0.0)
        throw Failure(kDivisionByZero);
    return toInt32(std::abs(double(m_pictureOffset.y())) / overhang * 100.0);
}

void PreviewGeometry::setScrollbarByPercent(Axis axis, qint16 percent)
{
    if (percent < 0)
        return;
    const double max = bar(axis).max;
    const double target = double(percent) / 100.0 * max;
    if (target <= max)
        setBarValue(axis, toInt16(target));
}

} // namespace quorbel
