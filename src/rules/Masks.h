#pragma once
// Every junk mask list the program knows: presets, further lists and categories.
#include <array>
#include <string>
#include <string_view>

namespace velmora::masks {

inline constexpr std::string_view Full = "*.tmp;*.tm_;*._mp;*.!!!;*.DIZ;mscreate.dir;*.gid;*.fts;*.mfd;*.wps;*.chk;*."
                                         "bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$;alexa.tmp";
inline constexpr std::string_view Compressed = "*.tm_;*._mp;*.!!!;*.DIZ;mscreate.dir;*.mfd;*.wps;*.chk;*.bak;*.err";
inline constexpr std::string_view Minimal =
    "mscreate.dir;*.gid;*.fts;*.mfd;*.wps;*.chk;*.bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$;alexa.tmp";

// The file list's pattern until start-up replaces it, and the main window's default setting.
inline constexpr std::string_view Extended = "*.tmp;*.tm_;*._mp;*.000;*.00;*.!!!;*.DIZ;mscreate.dir;*.gid;*.fts;*.mfd;*"
                                             ".wps;*.chk;*.bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$;alexa.tmp";
// The settings dialog's default, and what the shortcut scan leaves behind.
inline constexpr std::string_view ExtendedWithoutAlexa = "*.tmp;*.tm_;*._mp;*.000;*.00;*.!!!;*.DIZ;mscreate.dir;*.gid;*"
                                                         ".fts;*.mfd;*.wps;*.chk;*.bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$";
inline constexpr std::string_view ExtendedCompressed =
    "*.tm_;*._mp;*.000;*.00;*.!!!;*.DIZ;mscreate.dir;*.mfd;*.wps;*.chk;*.bak;*.err";

struct Category {
    std::string_view caption;
    std::string_view masks;
};

// The junk categories of the mask editor, in list order.
inline constexpr std::array<Category, 8> Categories{{
    {"Временные файлы системы", "*.tmp"},
    {"Временные файлы программ", "*.tm_;*.!!!"},
    {"Нераспакованные файлы", "*._mp;*.DIZ;mscreate.dir"},
    {"Временные файлы справки", "*.gid;*.fts;*.mfd;*.wps"},
    {"Резервные копии", "*.bak;*.err;*.@@@;*.BK!"},
    {"Internet - мусор", "*.BBS;*.$$$;*.---;*@*[*].txt;alexa.tmp"},
    {"Другой мусор", "CHKLIST.***;*.chk"},
    {"Все расширения мусора!", Full},
}};

// The category's mask list; the empty text when no category (or an unknown one) is chosen.
std::string_view categoryMasks(int index);

// The active list at start-up: the stored text when it is one of the three presets exactly,
// the Full preset otherwise.
std::string_view startupSelection(std::string_view stored);

} // namespace velmora::masks
