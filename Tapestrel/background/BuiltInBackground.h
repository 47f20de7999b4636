#pragma once

#include "KivDesktopBackground/Background.h"

#include <QString>

// One entry of the editor's built-in background lists. Each entry made for a list gets a fresh id,
// so two entries with the same background are still told apart.
class BuiltInBackground
{
public:
    explicit BuiltInBackground(const KivDesktopBackground::Background &background);
    BuiltInBackground(const QString &id, const KivDesktopBackground::Background &background);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    const KivDesktopBackground::Background &background() const { return m_background; }
    void setBackground(const KivDesktopBackground::Background &background) { m_background = background; }

private:
    QString m_id;
    KivDesktopBackground::Background m_background;
};
