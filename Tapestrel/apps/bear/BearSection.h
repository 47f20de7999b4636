#pragma once

#include "Tapestrel/widgets/AppSection.h"

class BearAppConfig;

// Bear's editor section: its theme row.
class BearSection : public AppSection
{
    Q_OBJECT

public:
    BearSection(Profile *profile, const BearAppConfig *config, SynchronizedOptionsStore *store,
                QWidget *parent = nullptr);
};
