#pragma once

#include "Tapestrel/apps/frame/ThemeSort.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// What the pickers observe of a theme store: a signal whenever one of its lists changes.
class ThemeStoreSignals : public QObject
{
    Q_OBJECT

signals:
    void changed();
};

// The themes of one application over a record type: the built-in table, fixed for the store's
// lifetime, and the themes the user installed into the application, collected at construction and
// again with reloadCustomThemes() (the pickers do it whenever they come on screen). The collector
// reads the other application's files and never fails: what it cannot read it leaves out. It gives
// the list in the member's own order (sorted or as found).
//
// A store lives on the GUI thread; operations that run elsewhere take what they need from it first.
template<typename T> class ThemeStore : public ThemeStoreSignals
{
public:
    using Record = T;
    using Collector = std::function<QList<T>()>;

    ThemeStore(QList<T> defaultThemes, Collector collectCustomThemes = {})
        : m_defaultThemes(std::move(defaultThemes))
        , m_collect(std::move(collectCustomThemes))
    {
        reloadCustomThemes();
    }

    const QList<T> &defaultThemes() const { return m_defaultThemes; }
    const QList<T> &customThemes() const { return m_customThemes; }
    // The built-in themes followed by the custom ones: where both hold one id, the built-in one
    // comes first.
    QList<T> allThemes() const { return m_defaultThemes + m_customThemes; }

    void reloadCustomThemes()
    {
        QList<T> themes = m_collect ? m_collect() : QList<T>();
        if (themes == m_customThemes)
            return;
        m_customThemes = std::move(themes);
        emit changed();
    }

    // The first theme, built-in ones first, for which `matches` holds, with whether it is built in.
    template<typename Matches> std::optional<std::pair<T, bool>> find(Matches matches) const
    {
        for (const T &theme : m_defaultThemes) {
            if (matches(theme))
                return std::pair<T, bool>(theme, true);
        }
        for (const T &theme : m_customThemes) {
            if (matches(theme))
                return std::pair<T, bool>(theme, false);
        }
        return std::nullopt;
    }

private:
    QList<T> m_defaultThemes;
    QList<T> m_customThemes;
    Collector m_collect;
};
