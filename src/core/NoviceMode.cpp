#include "core/NoviceMode.h"

#include "platform/toolkit/Controls.h"
#include "settings/Settings.h"

#include <exception>

namespace velmora::novice {

bool isOn(const SettingsStore& store)
{
    return settings::flagEquals(settings::readOption(store, settings::DisableProf, "0"), 1, 0);
}

namespace {

// A row that fails is skipped and the rows after it still run: one control the front-end
// could not redraw must not leave the other commands unlocked.
template <class Row> void run(Row&& row)
{
    try {
        row();
    } catch (const std::exception&) {
    }
}

} // namespace

void apply(bool on, const Targets& t)
{
    // A control only takes a state it does not already hold, so an unchanged one is never
    // redrawn at the 20 updates a second.
    const auto lock = [on](Control* c) {
        run([&] {
            if (c) c->setEnabled(!on);
        });
    };
    lock(t.maskEditorItem);
    lock(t.driveScan);
    lock(t.launcherDriveScan);
    lock(t.junkListPage);
    run([&] {
        OptionButton* page = t.otherPage;
        if (!page) return;
        if (on && page->value())
            page->setEnabled(false);
        else if (!on && !page->value())
            page->setEnabled(true);
    });
    lock(t.restore);
    lock(t.nullPass);
    lock(t.archivers);
}

} // namespace velmora::novice
