#pragma once

#include "Tapestrel/widgets/AppSection.h"

class NovaAppConfig;

// Nova's editor section: its editor-theme row. No tab shows it while Nova is not registered.
class NovaSection : public AppSection
{
    Q_OBJECT

public:
    NovaSection(Profile *profile, const NovaAppConfig *config, SynchronizedOptionsStore *store,
                QWidget *parent = nullptr);
};
