#include "archiving/Archivers.h"

#include "settings/Settings.h"

namespace velmora::archivers {

using settings::ArchiversSection;
using settings::read;

std::string key(std::string_view field, int n) { return std::string(field) + std::to_string(n); }

std::vector<Record> readTable(const SettingsStore& store)
{
    std::vector<Record> table;
    for (int n = 1;; ++n) {
        auto field = [&](std::string_view word) { return read(store, ArchiversSection, key(word, n), ""); };
        Record r{field("Name"), {}, {}, {}, {}, {}};
        if (r.name.empty()) break;
        r.execute = field("Execute");
        r.extention = field("Extention");
        r.command = field("Command");
        r.unpack = field("Unpack");
        r.execUn = field("ExecUn");
        table.push_back(std::move(r));
    }
    return table;
}

} // namespace velmora::archivers
