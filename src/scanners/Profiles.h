#pragma once
// The user profile folders of a drive, as the scans that look into them list them.
#include "scanners/Scan.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class FileSystem;
class Folder;

namespace scan {

// A profile folder: the parent it was listed in ("c:\Users\") and its exact name there.
struct Profile {
    std::string path; // parent + name
    std::string parent;
    std::string name;
};

// How a listed entry is judged to be a folder that can be entered: by making it the current
// folder (the working folder then moves with the listing), or by asking only.
enum class EnterEach { Yes, No };

// The profile folders under `parent` of drive `drive`, in listing order, appended to
// `profiles`. Each entry is judged by itself: one that cannot be entered (a file, a locked
// folder), a link or another mount is passed over; "." and ".." too; a listing that repeats
// a name has ended.
void collectProfiles(const ScanContext& c, char drive, const std::string& parent, EnterEach enter,
                     std::vector<Profile>& profiles);

// The folder `relative` ("AppData\Local\Temp") of a profile, opened one name after another
// from the profile's parent, each name in any letter case: nothing when one of them is
// missing, a link or another mount, so it is always within the profile's own tree.
std::unique_ptr<Folder> openProfileFolder(const FileSystem& fs, const Profile& profile, std::string_view relative);

} // namespace scan

} // namespace velmora
