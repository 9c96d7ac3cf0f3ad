#include "AccessiblePicture.h"

#include "PictureBox.h"
#include "SheetPicture.h"

#include <QAccessibleWidget>
#include <QLocale>

namespace quorbel {

namespace {

class PictureBoxInterface final : public QAccessibleWidget {
public:
    explicit PictureBoxInterface(PictureBox *box) : QAccessibleWidget(box, QAccessible::Graphic) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Description)
            return QAccessibleWidget::text(kind);
        return description(*static_cast<const PictureBox *>(widget()));
    }

private:
    // A box that frames another (the preview's viewport) describes the one
    // it frames. A box that shows a picture held by another box of its
    // window (the preview's picture, whose picture its zoom holder keeps)
    // gives that picture's size.
    static QString description(const PictureBox &box)
    {
        QStringList parts;
        if (!box.accessibleDescription().isEmpty())
            parts << box.accessibleDescription();
        if (const auto *inner = box.findChild<PictureBox *>(); inner && !box.hasPicture()) {
            parts << description(*inner);
        } else {
            const PictureBox *holder = &box;
            if (!box.hasPicture() && box.hasDrawing()) {
                for (const PictureBox *other : box.window()->findChildren<PictureBox *>()) {
                    if (other->hasPicture()) {
                        holder = other;
                        break;
                    }
                }
            }
            parts << pictureText(*holder);
        }
        return parts.join(QStringLiteral("; "));
    }

    static QString pictureText(const PictureBox &box)
    {
        if (!box.hasPicture())
            return QStringLiteral("no picture");
        const QLocale locale;
        if (const auto &sheet = box.sheetPicture()) {
            // The printed size, as the office laid the sheet out.
            return QStringLiteral("%1 cm wide, %2 cm high")
                .arg(locale.toString(sheet->widthHmm() / 1000.0, 'f', 1),
                     locale.toString(double(sheet->heightHmm()) / 1000.0, 'f', 1));
        }
        const QSize size = box.pictureSize();
        return QStringLiteral("%1 by %2 pixels").arg(size.width()).arg(size.height());
    }
};

QAccessibleInterface *pictureInterface(const QString &, QObject *object)
{
    if (auto *box = qobject_cast<PictureBox *>(object))
        return new PictureBoxInterface(box);
    return nullptr;
}

} // namespace

void installAccessiblePicture()
{
    static const bool installed = (QAccessible::installFactory(pictureInterface), true);
    Q_UNUSED(installed);
}

} // namespace quorbel
