#include "core/NoviceMode.h"

#include "platform/toolkit/Controls.h"
#include "settings/Settings.h"

namespace velmora::novice {

bool isOn(const SettingsStore& store)
{
    return settings::flagEquals(settings::readOption(store, settings::DisableProf, "0"), 1, 0);
}

void apply(bool on, const Targets& t)
{
    // A control only takes a state it does not already hold, so an unchanged one is never
    // redrawn at the 20 updates a second.
    const auto lock = [on](Control* c) {
        if (c) c->setEnabled(!on);
    };
    lock(t.maskEditorItem);
    lock(t.driveScan);
    lock(t.launcherDriveScan);
    lock(t.junkListPage);
    if (OptionButton* page = t.otherPage) {
        if (on && page->value())
            page->setEnabled(false);
        else if (!on && !page->value())
            page->setEnabled(true);
    }
    lock(t.restore);
    lock(t.nullPass);
    lock(t.archivers);
}

} // namespace velmora::novice
