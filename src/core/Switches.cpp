#include "core/Switches.h"

#include "platform/Text.h"
#include "settings/Product.h"

namespace velmora {

namespace {

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

constexpr std::string_view SwitchesUsage =
    "Ключи (регистр букв не важен, вместо «/» можно писать «-»):\n"
    "  /AUTOPASS     удалить мусор папки запуска (по умолчанию TMP) после вопроса\n"
    "                и завершить работу\n"
    "  /AUTORECENT   удалить ярлыки недавних документов и файлы cookie всех профилей\n"
    "                на всех дисках без вопроса и завершить работу\n"
    "Без ключа открывается главное окно. Любой другой текст в командной строке\n"
    "тоже просто открывает главное окно.\n"
    "\n"
    "Код завершения после /AUTOPASS и /AUTORECENT:\n"
    "  0  удалены все файлы, которые нужно было удалить (или удалять было нечего,\n"
    "     или на вопрос ответили «нет»)\n"
    "  1  хотя бы один файл остался (его держит другая программа или нет прав)\n"
    "  2  /AUTOPASS: папка запуска не открылась, ничего не удалено\n"
    "\n";

} // namespace

Switch switchOf(std::string_view arguments)
{
    const std::string upper = text::toUpper(arguments);
    const std::string_view word = trimmed(upper);
    if (word == "-AUTOPASS" || word == "/AUTOPASS") return Switch::AutoPass;
    if (word == "-AUTORECENT" || word == "/AUTORECENT") return Switch::AutoRecent;
    return Switch::None;
}

Request requestOf(std::string_view arguments, Host host)
{
    const std::string_view word = trimmed(arguments);
    if (word == "--help" || word == "-h" || (host == Host::Windows && word == "/?")) return Request::Usage;
    if (word == "--version") return Request::Version;
    return Request::Start;
}

std::string usageText(Host host)
{
    std::string text;
    if (host == Host::Linux) {
        text = "Использование: velmora [/AUTOPASS | /AUTORECENT]\n"
               "               velmora --help | -h | --version\n";
    } else {
        text = "Использование: velmora.exe [/AUTOPASS | /AUTORECENT]\n"
               "               velmora-console.exe [/AUTOPASS | /AUTORECENT]\n"
               "               velmora-console.exe /? | --help | -h | --version\n";
    }
    text += "\n"
            "Поиск и удаление файлового мусора: временных файлов, резервных копий, индексов\n"
            "справки, ярлыков недавних документов, файлов cookie, файлов размером 0 байт\n"
            "и содержимого корзины, по спискам масок файлов.\n"
            "\n";
    text += SwitchesUsage;
    if (host == Host::Linux) {
        text += "Интерфейс:\n"
                "  окна программы, если есть дисплей;\n"
                "  VELMORA_UI=console  текстовый интерфейс в терминале: окна выводятся\n"
                "                      текстом, команды читаются со стандартного ввода\n"
                "                      (он же выбирается, когда дисплея нет)\n"
                "\n"
                "Диски:\n"
                "  VELMORA_DRIVES='c:=/;d:=/media/usb'  какие папки обозначают буквы дисков;\n"
                "  без неё c: - корневая папка /, а каждый смонтированный локальный том\n"
                "  получает свою букву начиная с d:.\n"
                "\n"
                "Подробнее: man velmora\n";
    } else {
        text += "Интерфейс:\n"
                "  velmora.exe          окна программы\n"
                "  velmora-console.exe  текстовый интерфейс в консоли: окна выводятся\n"
                "                       текстом, команды читаются со стандартного ввода\n"
                "                       (для каналов, файлов и планировщика заданий)\n"
                "\n"
                "Диски:\n"
                "  VELMORA_DRIVES=c:=D:\\test;d:=E:\\  какие папки обозначают буквы дисков;\n"
                "  без неё - диски системы.\n";
    }
    return text;
}

std::string versionText() { return std::string(ProductName) + " " + std::string(ProductRelease) + "\n"; }

} // namespace velmora
