#include "browser/StatusLine.h"

#include "platform/toolkit/Form.h"

namespace velmora {

namespace status {

namespace {
enum class Form { One, Few, Many };

// The whole count decides 10 to 20, so 111 takes the form of 1 and 112 that of 2.
Form pluralForm(std::int64_t n)
{
    if (n >= 10 && n <= 20) return Form::Many;
    switch (n % 10) {
    case 1:
        return Form::One;
    case 2:
    case 3:
    case 4:
        return Form::Few;
    default:
        return Form::Many;
    }
}
} // namespace

std::string fileSuffix(std::int64_t count)
{
    switch (pluralForm(count)) {
    case Form::One:
        return "";
    case Form::Few:
        return "а";
    case Form::Many:
        break;
    }
    return "ов";
}

std::string selectedSuffix(std::int64_t count)
{
    switch (pluralForm(count)) {
    case Form::One:
        return "";
    case Form::Few:
        return "ы";
    case Form::Many:
        break;
    }
    return "о";
}

std::string line(std::int64_t entries, std::int64_t selected, std::int64_t bytes)
{
    return std::to_string(entries) + " файл" + fileSuffix(entries) + ", " + std::to_string(selected) + " файл" +
           fileSuffix(selected) + " выделен" + selectedSuffix(selected) + ", всего " + std::to_string(bytes) + " байт";
}

} // namespace status

int periodicUpdate(const UpdateTargets& t, const std::function<void()>& novice)
{
    t.maskEditorItem.setCaption(t.maskEditor.visible() ? "Скрыть &расширения" : "Показать &расширения");
    t.files.setListIndex(0);
    t.files.updateSizes();
    // The list keeps its counts as sizes come in: a tick costs nothing a file. Sizes are 64-bit,
    // so a selection over 2 GiB is counted whole.
    const int selFiles = static_cast<int>(t.files.selCount());
    const auto count = static_cast<std::int64_t>(t.files.listCount());
    t.entries.setCaption(status::line(count, selFiles, t.files.selectedBytes()));
    if (novice) novice();
    const bool canActOnSelection = count > 0 && selFiles > 0;
    // Controls ignore a write of the state they hold, so none of these flickers.
    for (CommandButton* b : {&t.deleteSelected, &t.properties, &t.archive}) b->setEnabled(canActOnSelection);
    t.deleteAll.setEnabled(count > 0);
    return selFiles;
}

} // namespace velmora
