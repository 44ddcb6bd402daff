// The drive walk matches every name it meets against the junk mask list; this measures
// that cost next to a straightforward matcher that re-reads the list for every name.
#include "platform/Wildcard.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kJunkMasks = "*.tmp;*.tm_;*._mp;*.000;*.00;*.!!!;*.DIZ;mscreate.dir;*.gid;*.fts;*.mfd;"
                                        "*.wps;*.chk;*.bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$;alexa.tmp";
constexpr std::size_t kNames = 200000;

// Mixed-case names as a disk holds them; one in a hundred is junk.
const std::vector<std::string>& names()
{
    static const std::vector<std::string> list = [] {
        std::mt19937 rng(20261207);
        const std::vector<std::string> exts = {"txt", "DLL", "exe", "Ini", "doc", "jpg", "HTM", "h",   "cpp", "",
                                               "dat", "log", "xls", "gif", "Sys", "js",  "css", "png", "lnk", "mp3"};
        const std::vector<std::string> junk = {"tmp", "TMP", "bak", "Chk", "000", "$$$", "gid", "BK!", "err", "~mp"};
        const std::vector<std::string> stems = {"readme",     "Setup",  "WINWORD", "install",   "Отчёт",
                                                "photo_2026", "msvcrt", "index",   "ЖурналДел", "config"};
        std::vector<std::string> out;
        out.reserve(kNames);
        for (std::size_t i = 0; i < kNames; ++i) {
            std::string name = stems[rng() % stems.size()] + std::to_string(rng() % 1000);
            for (char& c : name) {
                if (rng() % 3 == 0 && static_cast<unsigned char>(c) < 0x80)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            const std::string& ext = (i % 100 == 0) ? junk[rng() % junk.size()] : exts[rng() % exts.size()];
            if (!ext.empty()) name += "." + ext;
            out.push_back(std::move(name));
        }
        return out;
    }();
    return list;
}

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool naiveGlob(std::string_view m, std::string_view n)
{
    if (m.empty()) return n.empty();
    if (m[0] == '*') return naiveGlob(m.substr(1), n) || (!n.empty() && naiveGlob(m, n.substr(1)));
    if (n.empty()) return false;
    return (m[0] == '?' || m[0] == n[0]) && naiveGlob(m.substr(1), n.substr(1));
}

// Splits the list and lower-cases both sides for every name.
bool naiveMatches(std::string_view list, std::string_view name)
{
    const std::string lname = lowerAscii(name);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = std::min(list.find(';', start), list.size());
        const std::string mask = lowerAscii(list.substr(start, end - start));
        if (!mask.empty() && naiveGlob(mask, lname)) return true;
        start = end + 1;
    }
    return false;
}

void reportPerName(benchmark::State& state, std::size_t hits)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kNames));
    // An inverted rate is the time per name, shown as "58ns".
    state.counters["per_name"] = benchmark::Counter(static_cast<double>(state.iterations() * kNames),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_MaskList(benchmark::State& state)
{
    const velmora::MaskList masks(kJunkMasks);
    const auto& list = names();
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const std::string& n : list) hits += masks.matches(n) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    reportPerName(state, hits);
}
BENCHMARK(BM_MaskList)->Unit(benchmark::kMillisecond);

// The lists the scans empty folders with ("*.*" takes every name at once) and one whose mask
// goes through the general matcher.
void BM_OtherList(benchmark::State& state, std::string_view list)
{
    const velmora::MaskList masks(list);
    const auto& all = names();
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const std::string& n : all) hits += masks.matches(n) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    reportPerName(state, hits);
}
BENCHMARK_CAPTURE(BM_OtherList, every_name, std::string_view("*.*"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherList, dot_names, std::string_view(".*"))->Unit(benchmark::kMillisecond);

void BM_NaiveReference(benchmark::State& state)
{
    const auto& list = names();
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const std::string& n : list) hits += naiveMatches(kJunkMasks, n) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    reportPerName(state, hits);
}
BENCHMARK(BM_NaiveReference)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
