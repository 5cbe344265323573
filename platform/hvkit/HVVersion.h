#pragma once

#include <QString>

#include <array>
#include <compare>
#include <optional>

// A version number such as "3.2", "14.2.0" or "4.0b3": up to four numeric components and an
// optional pre-release kind with its number. Versions compare component by component (missing
// components count as 0), and a pre-release sorts before the release it leads to.
class HVVersion {
public:
    enum class ReleaseType { Development, Alpha, Beta, ReleaseCandidate, Release };

    // Formats of stringValueWithFormat().
    static constexpr int kFormatMajorMinor = 0; // "3.2", the patch only when not 0
    static constexpr int kFormatFull = 1;       // every component, "3.2.0"
    static constexpr int kFormatAsWritten = 2;  // the text the version was made from

    HVVersion() = default;
    HVVersion(int major, int minor, int patch = 0);

    // Empty when the text is not a version (including components too large for an int).
    static std::optional<HVVersion> versionWithString(const QString& string);

    // The running application's version and build; set once at start, read everywhere.
    static HVVersion appVersion();
    static HVVersion appBuildVersion();
    static void setAppVersionStrings(const QString& version, const QString& build);
    // The platform version the program behaves as (see HVConstants).
    static HVVersion operatingSystemVersion();
    // The version of the system the program actually runs on, as files record it: the
    // distribution's release ("12.0.0" on Debian 12), else the kernel's ("6.1.0").
    static HVVersion runningSystemVersion();

    int majorVersion() const { return m_components[0]; }
    int minorVersion() const { return m_components[1]; }
    int patchVersion() const { return m_components[2]; }
    ReleaseType releaseType() const { return m_releaseType; }
    int releaseNumber() const { return m_releaseNumber; }
    bool isPrereleaseType() const { return m_releaseType != ReleaseType::Release; }

    // The first component, as a build number reads: "1234" is 1234.
    qint64 integerValue() const { return m_components[0]; }

    QString stringValue() const { return stringValueWithFormat(kFormatAsWritten); }
    QString stringValueWithFormat(int format) const;

    bool isNewerThan(const HVVersion& other) const { return *this > other; }
    bool isNewerThanOrEqualTo(const HVVersion& other) const { return *this >= other; }

    std::strong_ordering operator<=>(const HVVersion& other) const;
    bool operator==(const HVVersion& other) const { return (*this <=> other) == 0; }

private:
    std::array<int, 4> m_components{};
    int m_componentCount = 1;
    ReleaseType m_releaseType = ReleaseType::Release;
    int m_releaseNumber = 0;
    QString m_text;
};
