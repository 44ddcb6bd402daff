#pragma once
#include <string_view>

namespace velmora {

// Opens a document (a drive path) or an address with its default program.
class Shell {
public:
    virtual ~Shell() = default;
    // False when nothing could be started; callers may ignore it.
    virtual bool open(std::string_view documentOrAddress) = 0;
};

} // namespace velmora
