#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One hardware profile: conditions on the machine, all of which must hold (an absent one always
// holds), and the rendering and capture choices it overrides (-1: no override).
struct OVHardwareProfile {
    std::optional<QString> hardwareName;
    // Found anywhere inside one of the machine's GPU names.
    std::optional<QString> videoCardName;
    std::optional<qint64> videoMemoryTotal;

    qint64 canCaptureDisplays = -1;
    qint64 videoMemoryState = -1;
    qint64 textureUploadsState = -1;

    bool operator==(const OVHardwareProfile&) const = default;
};

// What a profile's conditions are held against.
struct OVHardwareFacts {
    QString hardwareName;
    QStringList gpuNames;
    qint64 videoMemoryMB = 0;
};

// The hardware profiles the program reads: the built-in list and the downloaded file, a
// gzip-compressed keyed archive of {"Version": integer, "Profiles": [profile dictionaries]}. The
// file comes from the network, so it is read as hostile: inflation stops at a cap, the archive may
// hold nothing but dictionaries, arrays, strings and numbers, every field is type-checked, and a
// profile that fails a check is skipped.
class OVHardwareProfiles {
public:
    static constexpr qsizetype kMaxDecompressedSize = 1 << 20;
    // No honest profile list comes near this compressed.
    static constexpr qint64 kMaxFileSize = 4 << 20;

    struct List {
        // 0 when the file gave none.
        qint64 version = 0;
        std::vector<OVHardwareProfile> profiles;
    };

    static std::vector<OVHardwareProfile> builtInProfiles();

    // The downloaded list from the file's bytes; empty with a reason in error when the bytes are no
    // such list at all.
    static std::optional<List> readDownloadedProfiles(const QByteArray& fileData, QString* error);
    // The same from a file: a missing file is an empty list of version 0, not an error.
    static std::optional<List> readDownloadedProfilesFile(const QString& path, QString* error);

    // Both lists in the order they are tried: the built-in one first unless the downloaded one's
    // version is 2 or higher; the downloaded one left out when its version is 0.
    static std::vector<OVHardwareProfile> orderedProfiles(const std::vector<OVHardwareProfile>& builtIn,
                                                          const List& downloaded);
    // Reads the file at path, logging "downloadedProfilesData error:  %@" and going on with the
    // built-in list alone when it cannot be read.
    static std::vector<OVHardwareProfile> profilesWithDownloadedFile(const QString& path);

    static bool matches(const OVHardwareProfile& profile, const OVHardwareFacts& facts);
    // The first profile that matches, or an empty one (no conditions, no overrides).
    static OVHardwareProfile firstMatch(const std::vector<OVHardwareProfile>& profiles,
                                        const OVHardwareFacts& facts);
};
