#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include "Tapestrel/system/FolderColor.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

// The folder colour's kinds with their swatches and, while "Custom" is chosen, a colour well. The
// "Auto" swatch shows the profile's accent colour, and the title says that the colour also tints
// icons and widgets while the profile's icon style is a tinted one.
class FolderColorPicker : public QWidget
{
    Q_OBJECT

public:
    FolderColorPicker(Option *option, Profile *profile, QWidget *parent = nullptr);

    QString title() const;
    QStringList titles() const;
    bool hasSeparatorAfter(const QString &title) const;
    // The binding: the option's value decoded, automatic without a colour when it does not decode.
    FolderColor folderColor() const;
    void setFolderColor(const FolderColor &color);
    // What the user's choice of a kind does; false for an unknown title.
    bool choose(const QString &title);
    // What choosing a colour in the well does.
    void chooseCustomColor(const QColor &color);

    bool isColorWellVisible() const;
    QColor colorWellColor() const;
    // The swatch colour of an entry as drawn now.
    QColor swatchColor(FolderColor::Kind kind) const;

    QComboBox *comboBox() const { return m_combo; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void watchProfile();
    void openColorDialog();

    QPointer<Option> m_option;
    QPointer<Profile> m_profile;
    QLabel *m_label = nullptr;
    QComboBox *m_combo = nullptr;
    QPushButton *m_well = nullptr;
    QList<QMetaObject::Connection> m_optionConnections;
};
