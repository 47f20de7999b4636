#pragma once

#include "Tapestrel/widgets/AppSection.h"

class AlfredAppConfig;

// Alfred's editor section: its theme row.
class AlfredSection : public AppSection
{
    Q_OBJECT

public:
    AlfredSection(Profile *profile, const AlfredAppConfig *config, SynchronizedOptionsStore *store,
                  QWidget *parent = nullptr);
};
