#include "scanners/Profiles.h"

#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"

namespace velmora {

namespace scan {

void collectProfiles(const ScanContext& c, char drive, const std::string& parent, EnterEach enter,
                     std::vector<Profile>& profiles)
{
    FileSystem& fs = c.services.fs;
    const auto parentFolder = fs.openFolder(parent);
    const auto entries = parentFolder ? parentFolder->listEntries() : std::nullopt;
    if (!entries) return;
    const std::string* previous = nullptr;
    for (const DirEntry& entry : *entries) {
        if (previous && *previous == entry.name) break; // a listing that repeats itself has ended
        previous = &entry.name;
        c.tk.yield();
        if (enter == EnterEach::Yes) fs.setCurrentDrive(drive);
        const std::string candidate = parent + entry.name;
        // A link or another mount is judged before it is entered, so the working folder never
        // moves into someone else's tree.
        if (entry.name == "." || entry.name == ".." || !parentFolder->openSubfolder(entry.name)) continue;
        if (!(enter == EnterEach::Yes ? fs.setCurrentFolder(candidate) : fs.canEnter(candidate))) continue;
        profiles.push_back({candidate, parent, entry.name});
    }
}

std::unique_ptr<Folder> openProfileFolder(const FileSystem& fs, const Profile& profile, std::string_view relative)
{
    const auto parent = fs.openFolder(profile.parent);
    std::unique_ptr<Folder> folder = parent ? parent->openSubfolder(profile.name) : nullptr;
    while (folder && !relative.empty()) {
        const std::size_t cut = relative.find('\\');
        folder = folder->openSubfolder(relative.substr(0, cut), NameMatch::AnyCase);
        relative = cut == std::string_view::npos ? std::string_view{} : relative.substr(cut + 1);
    }
    return folder;
}

} // namespace scan

} // namespace velmora
