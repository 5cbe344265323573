#include "prompting/OVHardwareProfiles.h"

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Gzip.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// Nothing beyond what a profile list is made of; data and dates, which the archive format could
// carry, are refused as soon as a field is checked.
const QSet<QString>& allowedClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("NSArray"),      QStringLiteral("NSMutableArray"),
        QStringLiteral("NSDictionary"), QStringLiteral("NSMutableDictionary"),
        QStringLiteral("NSString"),     QStringLiteral("NSMutableString"),
    };
    return classes;
}

// A field that is there must have its type; an absent one is fine.
bool readString(const ArchiveDictionary& dictionary, const QString& key, std::optional<QString>& out)
{
    const ArchiveValue* value = dictionary.find(key);
    if (!value)
        return true;
    if (!value->isString())
        return false;
    out = value->string();
    return true;
}

bool readInteger(const ArchiveDictionary& dictionary, const QString& key, std::optional<qint64>& out)
{
    const ArchiveValue* value = dictionary.find(key);
    if (!value)
        return true;
    if (!value->isInteger())
        return false;
    out = value->integer();
    return true;
}

bool readOverride(const ArchiveDictionary& dictionary, const QString& key, qint64& out)
{
    std::optional<qint64> value;
    if (!readInteger(dictionary, key, value))
        return false;
    out = value.value_or(-1);
    return true;
}

std::optional<OVHardwareProfile> profileFrom(const ArchiveValue& value)
{
    if (!value.isDictionary())
        return std::nullopt;
    const ArchiveDictionary& dictionary = value.dictionary();
    const ArchiveValue* condition = dictionary.find(QStringLiteral("Condition"));
    const ArchiveValue* overrides = dictionary.find(QStringLiteral("Override"));
    // A profile without conditions would hold on every machine: it must say so with an empty one.
    if (!condition || !condition->isDictionary() || !overrides || !overrides->isDictionary())
        return std::nullopt;
    OVHardwareProfile profile;
    const ArchiveDictionary& conditions = condition->dictionary();
    const ArchiveDictionary& overrideValues = overrides->dictionary();
    if (!readString(conditions, QStringLiteral("HardwareName"), profile.hardwareName) ||
        !readString(conditions, QStringLiteral("VideoCardName"), profile.videoCardName) ||
        !readInteger(conditions, QStringLiteral("VideoMemoryTotal"), profile.videoMemoryTotal) ||
        !readOverride(overrideValues, QStringLiteral("CanCaptureDisplays"), profile.canCaptureDisplays) ||
        !readOverride(overrideValues, QStringLiteral("VideoMemoryState"), profile.videoMemoryState) ||
        !readOverride(overrideValues, QStringLiteral("TextureUploadsState"), profile.textureUploadsState))
        return std::nullopt;
    return profile;
}

} // namespace

std::vector<OVHardwareProfile> OVHardwareProfiles::builtInProfiles()
{
    OVHardwareProfile profile;
    profile.hardwareName = QStringLiteral("MacBook2,1");
    profile.videoCardName = QStringLiteral("GMA 950");
    profile.canCaptureDisplays = -1;
    profile.videoMemoryState = 0;
    profile.textureUploadsState = 0;
    return {profile};
}

std::optional<OVHardwareProfiles::List> OVHardwareProfiles::readDownloadedProfiles(const QByteArray& fileData,
                                                                                   QString* error)
{
    const auto fail = [error](const QString& reason) -> std::optional<List> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (fileData.isEmpty())
        return List{};
    Error inflateError;
    const std::optional<QByteArray> archive = gunzip(fileData, kMaxDecompressedSize, &inflateError);
    if (!archive)
        return fail(inflateError.localizedDescription());
    if (archive->isEmpty())
        return List{};
    Error archiveError;
    const std::optional<ArchiveValue> root =
        KeyedUnarchiver::unarchivedRootObject(*archive, allowedClasses(), &archiveError);
    if (!root)
        return fail(archiveError.localizedDescription());
    if (!root->isDictionary())
        return fail(QStringLiteral("the archive's root is no dictionary"));
    const ArchiveDictionary& dictionary = root->dictionary();
    List list;
    std::optional<qint64> version;
    if (!readInteger(dictionary, QStringLiteral("Version"), version))
        return fail(QStringLiteral("\"Version\" is no integer"));
    list.version = version.value_or(0);
    const ArchiveValue* profiles = dictionary.find(QStringLiteral("Profiles"));
    if (!profiles)
        return list;
    if (!profiles->isArray())
        return fail(QStringLiteral("\"Profiles\" is no array"));
    for (const ArchiveValue& value : profiles->array()) {
        if (std::optional<OVHardwareProfile> profile = profileFrom(value))
            list.profiles.push_back(*profile);
    }
    return list;
}

std::optional<OVHardwareProfiles::List> OVHardwareProfiles::readDownloadedProfilesFile(const QString& path,
                                                                                       QString* error)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return List{};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxFileSize) {
        if (error)
            *error = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize);
        return std::nullopt;
    }
    return readDownloadedProfiles(file.read(kMaxFileSize), error);
}

std::vector<OVHardwareProfile>
OVHardwareProfiles::orderedProfiles(const std::vector<OVHardwareProfile>& builtIn, const List& downloaded)
{
    if (downloaded.version == 0)
        return builtIn;
    std::vector<OVHardwareProfile> result;
    result.reserve(builtIn.size() + downloaded.profiles.size());
    const std::vector<OVHardwareProfile>& first = downloaded.version >= 2 ? downloaded.profiles : builtIn;
    const std::vector<OVHardwareProfile>& second = downloaded.version >= 2 ? builtIn : downloaded.profiles;
    result.insert(result.end(), first.begin(), first.end());
    result.insert(result.end(), second.begin(), second.end());
    return result;
}

std::vector<OVHardwareProfile> OVHardwareProfiles::profilesWithDownloadedFile(const QString& path)
{
    QString error;
    const std::optional<List> downloaded = readDownloadedProfilesFile(path, &error);
    if (!downloaded) {
        qWarning().noquote() << QStringLiteral("downloadedProfilesData error:  %1").arg(error);
        return builtInProfiles();
    }
    return orderedProfiles(builtInProfiles(), *downloaded);
}

bool OVHardwareProfiles::matches(const OVHardwareProfile& profile, const OVHardwareFacts& facts)
{
    if (profile.hardwareName && *profile.hardwareName != facts.hardwareName)
        return false;
    if (profile.videoCardName) {
        bool found = false;
        for (const QString& name : facts.gpuNames)
            found = found || name.contains(*profile.videoCardName);
        if (!found)
            return false;
    }
    return !profile.videoMemoryTotal || *profile.videoMemoryTotal == facts.videoMemoryMB;
}

OVHardwareProfile OVHardwareProfiles::firstMatch(const std::vector<OVHardwareProfile>& profiles,
                                                 const OVHardwareFacts& facts)
{
    for (const OVHardwareProfile& profile : profiles) {
        if (matches(profile, facts))
            return profile;
    }
    return {};
}
