#pragma once
// Novice mode: the advanced commands of the main window, the welcome launcher and the settings
// dialog disabled while the stored "DisableProf" is 1.
namespace velmora {

class CommandButton;
class MenuItem;
class OptionButton;
class SettingsStore;

namespace novice {

// True when "DisableProf" reads 1; a missing or unreadable value is professional mode.
bool isOn(const SettingsStore& store);

// The controls the rules set, in the order they run. A control whose window is not loaded is
// left null and its row skipped: that window applies the rules itself when it loads.
struct Targets {
    MenuItem* maskEditorItem = nullptr; // main window, "Показать &расширения"
    CommandButton* driveScan = nullptr; // main window, "&DrivePASS™"
    CommandButton* launcherDriveScan = nullptr; // welcome launcher, "Поиск мусора полу&автоматически"
    OptionButton* junkListPage = nullptr; // settings dialog, "Список мусора"
    OptionButton* otherPage = nullptr;    // settings dialog, "Остальные"
    CommandButton* restore = nullptr;     // main window, "&Восст. из архива"
    CommandButton* nullPass = nullptr;    // main window, "NullPASS™"
    CommandButton* archivers = nullptr;   // settings dialog, "Параметры архиваторов..."
};

// Disables the targets in novice mode (`on`) and enables them otherwise, but for the
// "Остальные" page: in novice mode it is disabled only while it is the chosen page, and it is
// enabled again only in professional mode while another page is chosen, so once disabled it
// stays so until professional mode.
void apply(bool on, const Targets& targets);

} // namespace novice
} // namespace velmora
