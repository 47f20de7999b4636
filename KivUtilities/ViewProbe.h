#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QLineEdit;
class QTableView;

namespace KivUtilities {

// Reaching from a view to the Qt objects around it: each modifier puts a hidden, empty probe
// widget into the view and, on a later turn of the event loop (once the view has been placed),
// looks around from the probe once. There is no retry: a view made again tries again.
class ViewProbe : public QWidget
{
    Q_OBJECT
public:
    // Hands the view's window to the callback once the view is in a shown window; a view that is in
    // no window by then leaves it untouched.
    static ViewProbe *windowModifier(QWidget *view, std::function<void(QWidget *window)> modify);

    // Calls getView with the probe; when that finds a widget, calls modify with it.
    template<typename T>
    static ViewProbe *anyViewModifier(QWidget *view, std::function<T *(QWidget *probe)> getView,
                                      std::function<void(T *)> modify)
    {
        return new ViewProbe(view, [getView, modify](QWidget *probe) {
            if (T *found = getView ? getView(probe) : nullptr) {
                if (modify)
                    modify(found);
            }
        });
    }

    // The table view five steps up from the probe, when that ancestor is one.
    static ViewProbe *tableViewModifier(QWidget *view, std::function<void(QTableView *)> modify);
    // The line edit behind the view: the view itself, or its first line-edit descendant.
    static ViewProbe *textFieldModifier(QWidget *view, std::function<void(QLineEdit *)> modify);

    // The shown top-level window that holds the widget; null when it is in none.
    static QWidget *windowOf(QWidget *widget);

    bool hasRun() const { return m_hasRun; }

private:
    ViewProbe(QWidget *view, std::function<void(QWidget *probe)> block);

    bool m_hasRun = false;
};

} // namespace KivUtilities
