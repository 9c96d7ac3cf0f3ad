#include "WindowLook.h"

#include "Failure.h"
#include "FileProcs.h"
#include "FilesLog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QDataStream>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

namespace quorbel {
namespace {

// The window, and each of its check boxes, option buttons, frames and labels
// (and, when `withPictureBoxes`, each child marked with the property
// "pictureBox"), take the button-face colour as background.
void useButtonFace(QWidget *window, bool withPictureBoxes)
{
    const QColor face = QPalette().color(QPalette::Active, QPalette::Button);
    setBackgroundColour(window, face);
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child)
            || qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child)
            || (withPictureBoxes && child->property("pictureBox").toBool()))
            setBackgroundColour(child, face);
    }
}

} // namespace

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    // Only the background roles: children inherit the palette, and text
    // fields, the date picker and the list keep their own field colour.
    // Check boxes and option buttons fill their background with the Button
    // role; labels, frames and windows with Window.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The window with its frame (known once the window exists) in the middle.
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void UseSystemColors(QWidget *window)
{
    useButtonFace(window, false);
}

void SkinEngine::loadSkin(const QString &path, const QString &)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Could not load the skin %1: %2").arg(path, file.errorString()));
    m_styleSheet = QString::fromUtf8(file.readAll());
    m_loaded = true;
}

void SkinEngine::applyWindow(QWidget *window)
{
    if (!m_loaded)
        throw Failure(QStringLiteral("No skin is loaded."));
    if (!window)
        throw Failure(QStringLiteral("No window to apply the skin to."));
    window->setStyleSheet(m_styleSheet);
}

void ApplyWindowSkin(QWidget *mainWindow, const QString &folder)
{
    const QString skinPath = QDir(folder.isEmpty() ? programFolder() : folder).filePath(QStringLiteral("x/o.cjs"));
    const QFileInfo info(skinPath);
    if (!info.isFile() || info.isHidden())
        return;

    useButtonFace(mainWindow, true);

    // The engine lives as long as the window it skins.
    auto *engine = new SkinEngine;
    QObject::connect(mainWindow, &QObject::destroyed, [engine] { delete engine; });
    engine->loadSkin(skinPath, QString());
    engine->setOptions(engine->options() | 1);
    engine->setApplyOptionsToDialogs(true);
    engine->setApplyOptionsToMenus(true);
    engine->applyWindow(mainWindow);
}

std::optional<QCursor> loadCursorFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    // Header: reserved 0, type 2 (cursor), count; then 16-byte entries whose
    // words at file offsets 10 and 12 are the hotspot.
    if (bytes.size() < 22)
        return std::nullopt;
    QDataStream header(bytes);
    header.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0, hotX = 0, hotY = 0;
    header >> reserved >> type >> count;
    if (reserved != 0 || type != 2 || count < 1)
        return std::nullopt;
    header.skipRawData(4);  // the first entry's width, height, colours, reserved byte
    header >> hotX >> hotY;
    QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QCursor readHandPointer(const QString &path)
{
    const std::optional<QCursor> cursor = loadCursorFile(path);
    if (!cursor)
        throw Failure(QStringLiteral("The pointer file %1 could not be read as a cursor.").arg(path));
    qCInfo(lcQuorbelFiles).noquote() << "hand pointer read:" << path;
    return *cursor;
}

bool isBusyPointer(const QWidget *window)
{
    return window->testAttribute(Qt::WA_SetCursor) && window->cursor().shape() == Qt::WaitCursor;
}

class PointerFeedback : public QObject {
public:
    PointerFeedback(QWidget *window, const QCursor &hand, const QList<QWidget *> &buttons,
                    const QList<QWidget *> &plainAreas)
        : QObject(window), m_window(window), m_hand(hand)
    {
        for (QWidget *button : buttons) {
            button->setMouseTracking(true);
            button->installEventFilter(this);
            m_buttons.insert(button);
        }
        for (QWidget *area : plainAreas) {
            area->setMouseTracking(true);
            area->installEventFilter(this);
            m_areas.insert(area);
        }
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
            // A move that a button ignores travels on to its container: only
            // the innermost watched widget under the pointer decides.
            const auto *area = static_cast<QWidget *>(watched);
            const QPoint pos = static_cast<QSinglePointEvent *>(event)->position().toPoint();
            for (const QWidget *inner = area->childAt(pos); inner && inner != area; inner = inner->parentWidget()) {
                if (m_buttons.contains(inner) || m_areas.contains(inner))
                    return false;
            }
            if (!isBusyPointer(m_window)) {
                if (m_buttons.contains(watched))
                    m_window->setCursor(m_hand);
                else
                    m_window->setCursor(Qt::ArrowCursor);
            }
        }
        return false;
    }

private:
    QWidget *m_window;
    QCursor m_hand;
    QSet<const QObject *> m_buttons;
    QSet<const QObject *> m_areas;
};

PointerFeedback *installPointerFeedback(QWidget *window, const QCursor &hand, const QList<QWidget *> &buttons,
                                        const QList<QWidget *> &plainAreas)
{
    return new PointerFeedback(window, hand, buttons, plainAreas);
}

} // namespace quorbel
