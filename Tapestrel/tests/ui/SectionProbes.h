#pragma once

#include "Tapestrel/model/AppConfig.h"
#include "Tapestrel/ui/AppBasedEditorTab.h"
#include "Tapestrel/widgets/AppSection.h"
#include "Tapestrel/widgets/EditorPicker.h"

#include <QStringList>

namespace UiTests {

// The ids of the applications whose sections a tab shows, in the tab's order.
inline QStringList shownIDs(const AppBasedEditorTab &tab)
{
    QStringList ids;
    for (const AppSection *section : tab.shownSections())
        ids.append(section->config()->id());
    return ids;
}

// The option keys of the rows below a section (or any widget), in order.
inline QStringList rowKeys(const QWidget *widget)
{
    QStringList keys;
    for (const EditorPicker *row : widget->findChildren<EditorPicker *>())
        keys.append(row->key());
    return keys;
}

} // namespace UiTests
