#include "platform/hvkit/HVVersion.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <limits>

#ifndef ORVANE_APP_VERSION
#define ORVANE_APP_VERSION "0.0.0"
#endif
#ifndef ORVANE_APP_BUILD
#define ORVANE_APP_BUILD "0"
#endif

namespace {

struct AppVersionStrings {
    QString version = QStringLiteral(ORVANE_APP_VERSION);
    QString build = QStringLiteral(ORVANE_APP_BUILD);
};

AppVersionStrings& appVersionStrings()
{
    static AppVersionStrings strings;
    return strings;
}

std::optional<int> parseComponent(QStringView text)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

std::optional<HVVersion::ReleaseType> releaseTypeForSuffix(const QString& suffix)
{
    using Type = HVVersion::ReleaseType;
    if (suffix.isEmpty())
        return Type::Release;
    if (suffix == u"d" || suffix == u"dev")
        return Type::Development;
    if (suffix == u"a" || suffix == u"alpha")
        return Type::Alpha;
    if (suffix == u"b" || suffix == u"beta")
        return Type::Beta;
    if (suffix == u"rc")
        return Type::ReleaseCandidate;
    return std::nullopt;
}

QString suffixForReleaseType(HVVersion::ReleaseType type)
{
    switch (type) {
    case HVVersion::ReleaseType::Development:
        return QStringLiteral("d");
    case HVVersion::ReleaseType::Alpha:
        return QStringLiteral("a");
    case HVVersion::ReleaseType::Beta:
        return QStringLiteral("b");
    case HVVersion::ReleaseType::ReleaseCandidate:
        return QStringLiteral("rc");
    case HVVersion::ReleaseType::Release:
        break;
    }
    return {};
}

} // namespace

HVVersion::HVVersion(int major, int minor, int patch)
    : m_components{major, minor, patch, 0}, m_componentCount(3)
{
    m_text = stringValueWithFormat(kFormatFull);
}

std::optional<HVVersion> HVVersion::versionWithString(const QString& string)
{
    // Anything longer than a version can be is refused before the pattern sees it.
    const QString text = string.trimmed();
    if (text.isEmpty() || text.size() > 64)
        return std::nullopt;
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?(?:\\.(\\d+))?(?:[-. ]?([A-Za-z]+)\\.?(\\d*))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;

    HVVersion version;
    version.m_componentCount = 0;
    for (int i = 0; i < 4; ++i) {
        const QStringView captured = match.capturedView(i + 1);
        if (captured.isEmpty())
            break;
        const std::optional<int> component = parseComponent(captured);
        if (!component)
            return std::nullopt;
        version.m_components[i] = *component;
        version.m_componentCount = i + 1;
    }
    const std::optional<ReleaseType> type = releaseTypeForSuffix(match.captured(5).toLower());
    if (!type)
        return std::nullopt;
    version.m_releaseType = *type;
    if (const QStringView number = match.capturedView(6); !number.isEmpty()) {
        if (*type == ReleaseType::Release)
            return std::nullopt;
        const std::optional<int> releaseNumber = parseComponent(number);
        if (!releaseNumber)
            return std::nullopt;
        version.m_releaseNumber = *releaseNumber;
    }
    version.m_text = text;
    return version;
}

HVVersion HVVersion::appVersion()
{
    return versionWithString(appVersionStrings().version).value_or(HVVersion(0, 0, 0));
}

HVVersion HVVersion::appBuildVersion()
{
    return versionWithString(appVersionStrings().build).value_or(HVVersion());
}

void HVVersion::setAppVersionStrings(const QString& version, const QString& build)
{
    appVersionStrings() = {version, build};
    QCoreApplication::setApplicationVersion(version);
}

HVVersion HVVersion::operatingSystemVersion()
{
    // The newest release any platform check names; every check answers as that system would.
    return HVVersion(15, 0, 0);
}

HVVersion HVVersion::runningSystemVersion()
{
    // Only the leading numbers: "6.1.0-18-amd64" is kernel 6.1.0, "22.04" release 22.4.
    const auto leadingNumbers = [](const QString& text) -> std::optional<HVVersion> {
        static const QRegularExpression pattern(
            QStringLiteral(R"(^(\d{1,6})(?:\.(\d{1,6}))?(?:\.(\d{1,6}))?)"));
        const QRegularExpressionMatch match = pattern.match(text);
        if (!match.hasMatch())
            return std::nullopt;
        return HVVersion(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    };
    if (const auto release = leadingNumbers(QSysInfo::productVersion()))
        return *release;
    return leadingNumbers(QSysInfo::kernelVersion()).value_or(HVVersion(0, 0, 0));
}

QString HVVersion::stringValueWithFormat(int format) const
{
    if (format == kFormatAsWritten && !m_text.isEmpty())
        return m_text;
    int count = 3;
    if (format == kFormatMajorMinor)
        count = m_components[2] == 0 && m_components[3] == 0 ? 2 : 3;
    if (m_components[3] != 0)
        count = 4;
    QString result;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            result += u'.';
        result += QString::number(m_components[i]);
    }
    if (isPrereleaseType())
        result += suffixForReleaseType(m_releaseType) +
                  (m_releaseNumber ? QString::number(m_releaseNumber) : QString());
    return result;
}

std::strong_ordering HVVersion::operator<=>(const HVVersion& other) const
{
    for (size_t i = 0; i < m_components.size(); ++i) {
        if (auto order = m_components[i] <=> other.m_components[i]; order != 0)
            return order;
    }
    if (auto order = m_releaseType <=> other.m_releaseType; order != 0)
        return order;
    return m_releaseNumber <=> other.m_releaseNumber;
}
