#pragma once

#include <QPointer>
#include <QWidget>

class Option;
class QCheckBox;

// A switch for a yes/no option. It shows off only for the stored text "false"; any other text, the
// empty one included, shows on. Switching writes "true" or "false".
class ToggleOptionPicker : public QWidget
{
    Q_OBJECT

public:
    ToggleOptionPicker(const QString &title, Option *option, QWidget *parent = nullptr);

    QString title() const;
    bool isOn() const;
    QCheckBox *toggle() const { return m_toggle; }

    static bool isOn(const QString &optionValue) { return optionValue != QStringLiteral("false"); }

private:
    void showValue();

    QPointer<Option> m_option;
    QCheckBox *m_toggle;
};
