#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/QtText.h"

#include <QSettings>
#include <QString>
#include <QStringList>

namespace velmora {

namespace {

QString keyPath(std::string_view section, std::string_view key)
{
    QString path = qs(section);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.isEmpty()) path += QLatin1Char('/');
    return path + qs(key);
}

std::string textOf(const QVariant& v, std::string_view def)
{
    if (!v.isValid()) return std::string(def);
    // A hand-edited value with an unquoted comma comes back as a list.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", ")).toStdString();
    if (!v.canConvert<QString>()) return std::string(def);
    return v.toString().toStdString();
}

// Keeps the file as it was read when the section was taken: every key comes from that one
// reading.
class QtSection : public SettingsSection {
public:
    QtSection(std::unique_ptr<QSettings> settings, std::string_view section)
        : m_settings(std::move(settings)), m_section(section)
    {}
    std::string get(std::string_view key, std::string_view def) const override
    {
        return textOf(m_settings->value(keyPath(m_section, key)), def);
    }

private:
    std::unique_ptr<QSettings> m_settings;
    std::string m_section;
};

} // namespace

QtSettingsStore::QtSettingsStore() = default;

QtSettingsStore::QtSettingsStore(std::string iniFile) : m_file(std::move(iniFile)) {}

std::unique_ptr<QSettings> QtSettingsStore::open(std::string_view app) const
{
    if (!m_file.empty()) return std::make_unique<QSettings>(QString::fromStdString(m_file), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), qs(app));
}

std::string QtSettingsStore::get(std::string_view app, std::string_view section, std::string_view key,
                                 std::string_view def) const
{
    return textOf(open(app)->value(keyPath(section, key)), def);
}

std::unique_ptr<SettingsSection> QtSettingsStore::section(std::string_view app, std::string_view section) const
{
    return std::make_unique<QtSection>(open(app), section);
}

bool QtSettingsStore::save(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    const auto settings = open(app);
    if (!settings->isWritable()) return false;
    settings->setValue(keyPath(section, key), qs(value));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace velmora
