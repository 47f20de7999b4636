#pragma once

#include <QLabel>
#include <QStringList>

// An option's display path on one line: "Apps › Alfred › Theme", the chevrons smaller and quieter
// than the components. Components are translated in the "OptionPath" context.
class OptionPath : public QLabel
{
    Q_OBJECT

public:
    explicit OptionPath(const QStringList &path, QWidget *parent = nullptr);

    QStringList path() const { return m_path; }

    // The path as plain text, for places that cannot style a part of a text (menu items).
    static QString plainText(const QStringList &path);
    static QString richText(const QStringList &path);

private:
    QStringList m_path;
};
