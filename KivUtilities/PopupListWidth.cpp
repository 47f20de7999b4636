#include "KivUtilities/PopupListWidth.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QScreen>

namespace KivUtilities {

void PopupListWidth::install(QCoreApplication *application)
{
    if (!application || application->findChild<PopupListWidth *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    application->installEventFilter(new PopupListWidth(application));
}

int PopupListWidth::neededWidth(const QComboBox *combo, const QWidget *listWindow)
{
    const QAbstractItemView *view = combo->view();
    if (!view || !listWindow)
        return 0;
    // Everything around the items: the window's frame and margins, the view's frame, a scroll bar.
    // Measured from parts that keep their size as the window widens, never from the window's own
    // width: while its resize is being delivered its children still have their old widths, and each
    // widening would then ask for another, up to the whole screen.
    QMargins margins = listWindow->contentsMargins();
    if (const QLayout *layout = listWindow->layout())
        margins += layout->contentsMargins();
    const int chrome = margins.left() + margins.right() + view->width() - view->viewport()->width();
    // A row measures its text in the list's font; a row in a font of its own (a bold header) needs
    // what that font adds.
    const QFontMetrics plain(view->font());
    int widest = 0;
    for (int row = 0; row < combo->count(); ++row) {
        const QModelIndex index = combo->model()->index(row, combo->modelColumn(), combo->rootModelIndex());
        int width = view->sizeHintForIndex(index).width();
        if (const QVariant font = index.data(Qt::FontRole); font.canConvert<QFont>()) {
            const QString text = index.data(Qt::DisplayRole).toString();
            width += qMax(
                0, QFontMetrics(font.value<QFont>()).horizontalAdvance(text) - plain.horizontalAdvance(text));
        }
        widest = qMax(widest, width);
    }
    return widest + chrome;
}

bool PopupListWidth::eventFilter(QObject *watched, QEvent *event)
{
    // The list's window is shown after the combo box has placed it and before it is on screen; the
    // combo box may place it again once shown (to make room for a scroll bar).
    const QEvent::Type type = event->type();
    if ((type != QEvent::Show && type != QEvent::Resize && type != QEvent::Move) || !watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    auto *combo = qobject_cast<QComboBox *>(window->parentWidget());
    if (!combo || !window->isWindow() || !combo->view() || combo->view()->window() != window
        || (type != QEvent::Show && !window->isVisible()))
        return false;
    QRect geometry = window->geometry();
    geometry.setWidth(qMax(geometry.width(), neededWidth(combo, window)));
    // Never wider than the screen, and kept on it: widened to the right, or to the left where the
    // screen ends.
    if (const QScreen *screen = combo->screen()) {
        const QRect available = screen->availableGeometry();
        geometry.setWidth(qMin(geometry.width(), available.width()));
        if (geometry.right() > available.right())
            geometry.moveRight(available.right());
        if (geometry.left() < available.left())
            geometry.moveLeft(available.left());
    }
    if (geometry != window->geometry())
        window->setGeometry(geometry);
    return false;
}

} // namespace KivUtilities
