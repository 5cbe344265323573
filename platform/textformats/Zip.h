#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// Zip containers of word-processor files, read from memory and written to memory over libzip.
//
// Reading trusts nothing the archive declares: every member is counted as it inflates, within a
// bound for one member, for all members read together and for the inflation ratio, and an archive
// with too many members is refused outright. Names that could point outside a folder (absolute,
// "..", backslashes, control characters) are not members at all.
class ZipReader {
public:
    struct Limits {
        qint64 maxMemberBytes = qint64(64) << 20;
        qint64 maxTotalBytes = qint64(256) << 20;
        // Inflation beyond this ratio is a bomb, once a member is past maxRatioFreeBytes.
        qint64 maxRatio = 200;
        qint64 maxRatioFreeBytes = qint64(1) << 20;
        qint64 maxMembers = 10000;
    };

    ~ZipReader();
    ZipReader(ZipReader&&) noexcept;
    ZipReader& operator=(ZipReader&&) noexcept;

    // The archive in data, or nothing with error set when it is not a zip archive one may read.
    static std::optional<ZipReader> open(QByteArray data, Error* error, const Limits& limits);
    static std::optional<ZipReader> open(QByteArray data, Error* error)
    {
        return open(std::move(data), error, {});
    }

    // The usable member names in the archive's order.
    const QStringList& names() const { return m_names; }
    bool contains(const QString& name) const { return m_names.contains(name); }
    // A member's bytes, checked against its CRC; nothing with error set when it is missing, broken
    // or beyond the limits.
    std::optional<QByteArray> read(const QString& name, Error* error);

    // A safe file name made of a member or attachment name: its last component, without characters
    // file systems or shells give a meaning, never empty, "." or "..".
    static QString safeBaseName(const QString& name);
    static bool isUsableName(const QString& name);

private:
    struct State;
    explicit ZipReader(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
    QStringList m_names;
};

// Builds an archive in the order members are added, each with the same fixed time and no extra
// fields, so equal content gives equal bytes.
class ZipWriter {
public:
    void add(const QString& name, QByteArray data, bool compress = true);
    // The archive's bytes, or nothing with error set.
    std::optional<QByteArray> finish(Error* error) const;

private:
    struct Member {
        QString name;
        QByteArray data;
        bool compress;
    };
    std::vector<Member> m_members;
};
