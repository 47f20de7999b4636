#pragma once

#include "Tapestrel/widgets/AppSection.h"

class XcodeAppConfig;

// Xcode's editor section: its theme row.
class XcodeSection : public AppSection
{
    Q_OBJECT

public:
    XcodeSection(Profile *profile, const XcodeAppConfig *config, SynchronizedOptionsStore *store,
                 QWidget *parent = nullptr);
};
