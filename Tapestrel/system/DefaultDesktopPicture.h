#pragma once

#include <QString>

// A fresh desktop shows a picture before anybody has chosen one. The emulated desktop gets the first
// shipped picture, recorded where the desktop keeps its picture, the first time the program finds none
// recorded there at all; so reading the current settings of a fresh home finds a background, as on a
// fresh system. A desktop that has a picture, or one the system cannot name, is left alone.
class DefaultDesktopPicture
{
public:
    // Where a picture of this file name is kept: the system's desktop pictures folder in the emulated
    // home.
    static QString path(const QString &fileName);

    // Copies the picture (a file or a resource) there and records it when the desktop has no picture
    // recorded; true when it did.
    static bool installIfMissing(const QString &source);
};
