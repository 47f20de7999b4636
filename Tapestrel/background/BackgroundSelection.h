#pragma once

#include "KivDesktopBackground/Background.h"

#include <QObject>
#include <QPointer>

#include <optional>

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

// The background chosen in the background editor, shared by all its sections. Over an option it is
// the option's value: read as the editor shows it (never nothing), written as background JSON, or
// "" for nothing. Without an option (or once the option is gone) it keeps a value of its own.
class BackgroundSelection : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundSelection(Option *option, QObject *parent = nullptr);
    // A free-standing selection holding `initial`.
    explicit BackgroundSelection(const std::optional<KivDesktopBackground::Background> &initial,
                                 QObject *parent = nullptr);

    std::optional<KivDesktopBackground::Background> get() const;
    void set(const std::optional<KivDesktopBackground::Background> &background);
    // Whether the selection holds a value equal to `background`.
    bool isSelected(const KivDesktopBackground::Background &background) const;

    Option *option() const { return m_option; }

signals:
    void changed();

private:
    bool m_overOption;
    QPointer<Option> m_option;
    std::optional<KivDesktopBackground::Background> m_value;
    // The option value last decoded and what it decoded to: every tile asks on each change, and the
    // value changes far less often than it is read.
    mutable std::optional<QString> m_decodedValue;
    mutable KivDesktopBackground::Background m_decoded = KivDesktopBackground::Background::clear();
};
