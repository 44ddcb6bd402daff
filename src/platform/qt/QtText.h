#pragma once
// The program's UTF-8 texts and Qt's strings, each way.
#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace velmora {

inline QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

inline std::string utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace velmora
