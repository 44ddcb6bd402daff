#include "platform/posix/PosixHost.h"

namespace velmora::posixhost {

std::string normalize(std::string_view host)
{
    std::string out;
    out.reserve(host.size());
    for (char c : host) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

namespace {

// What follows `root` in `h` ("" for the root itself), or nothing when `root` does not cover `h`.
std::optional<std::string> below(const std::string& h, const std::string& root)
{
    if (root == "/")
        return h.substr(1);
    if (h == root)
        return std::string();
    if (h.size() > root.size() && h.compare(0, root.size(), root) == 0 && h[root.size()] == '/')
        return h.substr(root.size() + 1);
    return std::nullopt;
}

} // namespace

std::optional<std::string> toDriveForm(std::string_view host, const std::vector<DriveInfo>& drives)
{
    const std::string h = normalize(host);
    if (h.empty() || h.front() != '/')
        return std::nullopt;
    const DriveInfo* best = nullptr;
    std::size_t bestLength = 0;
    std::string rest;
    for (const DriveInfo& d : drives) {
        const std::string root = normalize(d.label);
        if (root.empty() || root.front() != '/' || (best && root.size() <= bestLength))
            continue;
        if (auto r = below(h, root)) {
            best = &d;
            bestLength = root.size();
            rest = std::move(*r);
        }
    }
    if (!best)
        return std::nullopt;
    std::string out;
    out += static_cast<char>(best->letter >= 'a' && best->letter <= 'z' ? best->letter - 'a' + 'A' : best->letter);
    out += ":\\";
    for (char c : rest)
        out += c == '/' ? '\\' : c;
    return out;
}

DateTime localDateTime(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool isDrivePath(std::string_view s)
{
    if (s.size() < 3 || s[1] != ':' || (s[2] != '\\' && s[2] != '/'))
        return false;
    const char c = s[0];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace velmora::posixhost
