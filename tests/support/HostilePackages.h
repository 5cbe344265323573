#pragma once

// Damaged and hostile native packages, made on disk for the companions to refuse or read in part.
#include <QDir>
#include <QFile>
#include <QString>

#include <utility>
#include <vector>

#include <sys/stat.h>

namespace hostiletest {

inline const QByteArray kGoodProperties =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>fileFormatNumber</key><integer>5</integer></dict></plist>\n";

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A package from raw bytes: the RTF of "Content.rtfd/TXT.rtf" and the "Properties.plist".
inline QString rawPackage(const QDir& dir, const QString& name, const QByteArray& rtf,
                          const QByteArray& properties = kGoodProperties)
{
    const QString package = dir.filePath(name + QStringLiteral(".ovdocument"));
    dir.mkpath(name + QStringLiteral(".ovdocument/Content.rtfd"));
    writeFile(package + QStringLiteral("/Content.rtfd/TXT.rtf"), rtf);
    writeFile(package + QStringLiteral("/Properties.plist"), properties);
    return package;
}

inline QByteArray plist(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
           "</dict></plist>\n";
}

// Every hostile package, by a name for the test's message.
inline std::vector<std::pair<QString, QString>> makeAll(const QDir& dir)
{
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 Hello}";
    std::vector<std::pair<QString, QString>> all;
    const auto add = [&](const QString& name, const QString& path) { all.emplace_back(name, path); };

    add("format number a string",
        rawPackage(dir, "formatstring", rtf, plist("<key>fileFormatNumber</key><string>5</string>")));
    add("format number missing", rawPackage(dir, "formatmissing", rtf, plist("")));
    add("plist not a dictionary",
        rawPackage(dir, "plistarray", rtf, "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"));
    add("plist truncated", rawPackage(dir, "plisttruncated", rtf, kGoodProperties.left(60)));
    add("bookmarks a dictionary", rawPackage(dir, "bookmarksdict", rtf,
                                             plist("<key>fileFormatNumber</key><integer>5</integer>"
                                                   "<key>bookmarks</key><dict/>")));
    add("locations past the text",
        rawPackage(dir, "locations", rtf,
                   plist("<key>fileFormatNumber</key><integer>5</integer>"
                         "<key>bookmarks</key><array><dict><key>data</key><data>AA==</data>"
                         "<key>locations</key><string>99999999999999999999, 400, 2</string>"
                         "</dict></array>")));
    add("extended metadata wrongly typed",
        rawPackage(dir, "extended", rtf,
                   plist("<key>fileFormatNumber</key><integer>5</integer>"
                         "<key>extendedMetadata</key><dict><key>bookmarkNames</key>"
                         "<integer>3</integer><key>director</key><array/></dict>")));
    add("truncated RTF", rawPackage(dir, "truncated", rtf.left(rtf.size() / 2)));
    add("deeply nested RTF", rawPackage(dir, "nested", "{\\rtf1 " + QByteArray(200000, '{') + "deep"));
    add("picture claiming gigabytes",
        rawPackage(dir, "pict",
                   "{\\rtf1 {\\pict\\pngblip\\picw2000000000\\pich2000000000\\picwgoal2000000000"
                   "\\pichgoal2000000000\\bin4294967295 ab}}"));
    add("attachment escaping the package",
        rawPackage(dir, "escape",
                   "{\\rtf1 {{\\NeXTGraphic ../../../../etc/passwd \\width100 \\height100}\xac}}"));

    const QString linked = rawPackage(dir, "linked", rtf);
    QFile::link(QStringLiteral("/etc/passwd"), linked + QStringLiteral("/Content.rtfd/TXT.rtf.link"));
    QFile::remove(linked + QStringLiteral("/Content.rtfd/TXT.rtf"));
    QFile::link(QStringLiteral("/etc/hostname"), linked + QStringLiteral("/Content.rtfd/TXT.rtf"));
    add("text file a link outside", linked);

    const QString fifo = dir.filePath(QStringLiteral("fifo.ovdocument"));
    dir.mkpath(QStringLiteral("fifo.ovdocument"));
    ::mkfifo(QFile::encodeName(fifo + QStringLiteral("/Content.rtfd")).constData(), 0600);
    writeFile(fifo + QStringLiteral("/Properties.plist"), kGoodProperties);
    add("FIFO as content", fifo);

    dir.mkpath(QStringLiteral("empty.ovdocument"));
    add("empty directory", dir.filePath(QStringLiteral("empty.ovdocument")));
    const QString plain = dir.filePath(QStringLiteral("plain.ovdocument"));
    writeFile(plain, "{\\rtf1 plain file}");
    add("plain file", plain);
    return all;
}

} // namespace hostiletest
