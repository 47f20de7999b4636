#pragma once

#include <QObject>

class QComboBox;
class QCoreApplication;
class QWidget;

namespace KivUtilities {

// Makes the pop-up list of every combo box of the application at least as wide as its widest item,
// as far as the screen allows, so that no item is cut short ("Gra…ite"). A combo box measures its
// own width by its items' plain text, but its list draws them as menu items (with room for a check
// mark and an icon, and headers in bold), which need more.
class PopupListWidth : public QObject
{
    Q_OBJECT

public:
    // Watches the application's pop-up lists from now on; installing again changes nothing.
    static void install(QCoreApplication *application);

    // The width the list of a combo box needs to show every item whole, its frame included, given
    // the frame the list window has now.
    static int neededWidth(const QComboBox *combo, const QWidget *listWindow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

} // namespace KivUtilities
