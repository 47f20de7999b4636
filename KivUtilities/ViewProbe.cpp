#include "KivUtilities/ViewProbe.h"

#include <QLineEdit>
#include <QTableView>
#include <QTimer>

namespace KivUtilities {

ViewProbe::ViewProbe(QWidget *view, std::function<void(QWidget *probe)> block)
    : QWidget(view)
{
    setObjectName(QStringLiteral("ViewProbe"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(0, 0);
    lower();
    QTimer::singleShot(0, this, [this, block = std::move(block)] {
        m_hasRun = true;
        block(this);
    });
}

QWidget *ViewProbe::windowOf(QWidget *widget)
{
    if (!widget)
        return nullptr;
    QWidget *top = widget->window();
    // A widget without a parent is a window of its own only once something shows it as one.
    if (top == widget || !top->windowHandle() || !top->isVisible())
        return nullptr;
    return top;
}

ViewProbe *ViewProbe::windowModifier(QWidget *view, std::function<void(QWidget *window)> modify)
{
    return new ViewProbe(view, [modify](QWidget *probe) {
        if (QWidget *window = windowOf(probe)) {
            if (modify)
                modify(window);
        }
    });
}

ViewProbe *ViewProbe::tableViewModifier(QWidget *view, std::function<void(QTableView *)> modify)
{
    return anyViewModifier<QTableView>(
        view,
        [](QWidget *probe) -> QTableView * {
            QWidget *ancestor = probe;
            for (int step = 0; step < 5 && ancestor; ++step)
                ancestor = ancestor->parentWidget();
            return qobject_cast<QTableView *>(ancestor);
        },
        std::move(modify));
}

ViewProbe *ViewProbe::textFieldModifier(QWidget *view, std::function<void(QLineEdit *)> modify)
{
    return anyViewModifier<QLineEdit>(
        view,
        [](QWidget *probe) -> QLineEdit * {
            QWidget *host = probe->parentWidget();
            if (auto *field = qobject_cast<QLineEdit *>(host))
                return field;
            return host ? host->findChild<QLineEdit *>() : nullptr;
        },
        std::move(modify));
}

} // namespace KivUtilities
