#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What the background library asks of the rest of the program: where image files are kept, the
// file choosers and the random source of new gradients. The program uses the defaults; tests put
// their own functions in place (and restore the old ones).
struct BackgroundLibraryServices
{
    // The folder that holds added images: the cloud drive's "Wallpapers", else the data folder's
    // "backgrounds". Asked anew at every use.
    std::function<QString()> wallpapersFolder;
    // Image files chosen by the user for "Add Image" (several at once); empty when cancelled.
    std::function<QStringList(QWidget *parent)> chooseImageFiles;
    // Pictures chosen by the user for "Add Photo", in the pictures folder; empty when cancelled.
    std::function<QStringList(QWidget *parent)> choosePhotos;
    // A uniformly distributed number in [low, high].
    std::function<double(double low, double high)> uniform;

    static BackgroundLibraryServices &shared();
    // The program's own functions.
    static BackgroundLibraryServices defaults();
};
