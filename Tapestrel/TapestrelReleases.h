#pragma once

#include "KivWhatsNew/Release.h"

// The release notes of the program, oldest first, as the main controller hands them to the
// what's-new controller.
namespace TapestrelReleases {
QList<KivWhatsNew::Release> all();
}
