#include "platform/posix/PosixHost.h"

#include "platform/Utf8.h"

#include <array>

namespace velmora::posixhost {

namespace {

constexpr char32_t Escape = 0xF000;

// The characters a Windows name cannot hold; '/' and NUL never occur in a host name.
constexpr bool unholdable(unsigned char c)
{
    return (c >= 1 && c < 0x20) || c == '"' || c == '*' || c == ':' || c == '<' || c == '>' || c == '?' || c == '\\' ||
           c == '|';
}

// Bytes that may start something to map; the walk asks this of every name it reads.
constexpr std::array<bool, 256> kSuspect = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[static_cast<std::size_t>(c)] = unholdable(static_cast<unsigned char>(c)) || c == 0xEF;
    return t;
}();

// The private-use character U+F000..U+F07F at `i`, as its offset from U+F000; -1 when there
// is none.
int privateAt(std::string_view s, std::size_t i)
{
    if (i >= s.size()) return -1;
    const utf8::Decoded d = utf8::decodeAt(s, i);
    return d.valid && d.cp >= Escape && d.cp < Escape + 0x80 ? static_cast<int>(d.cp - Escape) : -1;
}

// A private-use character that the mapping gives a meaning: the escape or a carried character.
bool meaningful(int offset) { return offset == 0 || (offset > 0 && unholdable(static_cast<unsigned char>(offset))); }

void appendPrivate(std::string& out, int offset) { out += utf8::text(Escape + static_cast<char32_t>(offset)); }

} // namespace

bool needsMapping(std::string_view host)
{
    for (std::size_t i = 0; i < host.size(); ++i) {
        const auto c = static_cast<unsigned char>(host[i]);
        if (kSuspect[c] && (c != 0xEF || meaningful(privateAt(host, i)))) return true;
    }
    return false;
}

std::string toProgramName(std::string_view host)
{
    if (!needsMapping(host)) return std::string(host);
    std::string out;
    out.reserve(host.size() + 8);
    for (std::size_t i = 0; i < host.size();) {
        const auto c = static_cast<unsigned char>(host[i]);
        if (unholdable(c)) {
            appendPrivate(out, c);
            ++i;
        } else if (const int offset = c == 0xEF ? privateAt(host, i) : -1; meaningful(offset)) {
            appendPrivate(out, 0);
            out.append(host.substr(i, 3));
            i += 3;
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return out;
}

std::string toHostName(std::string_view program)
{
    if (program.find('\xEF') == std::string_view::npos) return std::string(program);
    std::string out;
    out.reserve(program.size());
    for (std::size_t i = 0; i < program.size();) {
        const int offset = privateAt(program, i);
        if (offset == 0 && meaningful(privateAt(program, i + 3))) {
            out.append(program.substr(i + 3, 3)); // an escaped private-use character is itself
            i += 6;
        } else if (offset > 0 && meaningful(offset)) {
            out += static_cast<char>(offset);
            i += 3;
        } else {
            out += program[i];
            ++i;
        }
    }
    return out;
}

std::string normalize(std::string_view host)
{
    std::string out;
    out.reserve(host.size());
    for (char c : host) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

namespace {

// What follows `root` in `h` ("" for the root itself), or nothing when `root` does not cover `h`.
std::optional<std::string> below(const std::string& h, const std::string& root)
{
    if (root == "/") return h.substr(1);
    if (h == root) return std::string();
    if (h.size() > root.size() && h.compare(0, root.size(), root) == 0 && h[root.size()] == '/')
        return h.substr(root.size() + 1);
    return std::nullopt;
}

// Each name of a host path ("/a//b") as "\" + its program name.
void appendProgramNames(std::string& out, std::string_view host)
{
    std::size_t i = 0;
    while (i < host.size()) {
        while (i < host.size() && host[i] == '/') ++i;
        std::size_t j = i;
        while (j < host.size() && host[j] != '/') ++j;
        if (j > i) {
            out += '\\';
            out += toProgramName(host.substr(i, j - i));
        }
        i = j;
    }
}

} // namespace

std::optional<std::string> toDriveForm(std::string_view host, const std::vector<DriveInfo>& drives)
{
    const std::string h = normalize(host);
    if (h.empty() || h.front() != '/') return std::nullopt;
    const DriveInfo* best = nullptr;
    std::size_t bestLength = 0;
    std::string rest;
    for (const DriveInfo& d : drives) {
        const std::string root = normalize(d.label);
        if (root.empty() || root.front() != '/' || (best && root.size() <= bestLength)) continue;
        if (auto r = below(h, root)) {
            best = &d;
            bestLength = root.size();
            rest = std::move(*r);
        }
    }
    if (!best) return std::nullopt;
    std::string out;
    out += static_cast<char>(best->letter >= 'a' && best->letter <= 'z' ? best->letter - 'a' + 'A' : best->letter);
    out += ':';
    appendProgramNames(out, rest);
    if (rest.empty()) out += '\\'; // the drive's root
    return out;
}

std::string offDriveForm(std::string_view host)
{
    std::string out = "\\\\?\\unix";
    appendProgramNames(out, host);
    return out;
}

DateTime localDateTime(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace velmora::posixhost
