#include "rules/MaskEditor.h"

#include "platform/Text.h"
#include "platform/toolkit/Controls.h"
#include "rules/Masks.h"

namespace velmora::maskeditor {

void fillCategories(ComboBox& types)
{
    types.clear();
    for (const auto& category : masks::Categories) types.addItem(std::string(category.caption));
}

void categoryChosen(const ComboBox& types, TextBox& filter)
{
    const std::string_view list = masks::categoryMasks(types.listIndex());
    filter.setMaxLength(text::length(list));
    filter.setText(list);
}

bool apply(const TextBox& filter, Control& panel, FileListBox& files)
{
    if (filter.text().empty()) return false;
    panel.setVisible(false);
    files.setPattern(filter.text());
    return true;
}

void cancel(Control& panel) { panel.setVisible(false); }

} // namespace velmora::maskeditor
