#include "app/sample/ReleaseNotes.h"

#include "platform/foundation/Error.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Rtfd.h"

#include <QDir>
#include <QUrl>

namespace releasenotes {

namespace {

AttributeDictionary attributes(double size, bool bold, const Color& color)
{
    Font font;
    font.familyName = QStringLiteral("Helvetica");
    font.fontName = bold ? QStringLiteral("Helvetica-Bold") : QStringLiteral("Helvetica");
    font.pointSize = size;
    font.bold = bold;
    AttributeDictionary dictionary;
    dictionary.insert(kFontAttributeName, AttributeValue(font));
    dictionary.insert(kForegroundColorAttributeName, AttributeValue(color));
    return dictionary;
}

const Color kBlack = Color::gray(0);
const Color kGrey = Color::gray(0.35);

} // namespace

QString currentNoteFileName()
{
    return QStringLiteral("What's New %1 %2.rtfd")
        .arg(QStringLiteral(ORVANE_NOTES_VERSION), QStringLiteral(ORVANE_NOTES_BUILD));
}

MutableAttributedString makeCurrentNoteText()
{
    MutableAttributedString text;
    text.append(QStringLiteral("What's new in Orvane %1\n\n").arg(QStringLiteral(ORVANE_NOTES_VERSION)),
                attributes(22, true, kBlack));
    const QStringList points{
        QStringLiteral(
            "Orvane tells you when a newer release is out and opens its page; it never replaces the "
            "program by itself."),
        QStringLiteral(
            "After a crash, Orvane keeps a short report. When you name an address for reports in the "
            "settings, the next start shows you the report and asks before sending it."),
        QStringLiteral("About Orvane shows your own usage statistics. They stay on this computer."),
        QStringLiteral("Marking text flashes the prompter, so you see at once what was marked."),
    };
    for (const QString& point : points)
        text.append(QStringLiteral("\u2022 ") + point + QStringLiteral("\n\n"),
                    attributes(14, false, kBlack));
    AttributeDictionary highlighted = attributes(14, true, Color::rgb(0.55, 0.1, 0.05));
    highlighted.insert(kBackgroundColorAttributeName, AttributeValue(Color::rgb(1.0, 0.93, 0.55)));
    text.append(QStringLiteral("Tip:"), highlighted);
    text.append(QStringLiteral(" choose Help \u203a What's New at any time to read these notes again.\n"),
                attributes(14, false, kGrey));
    return text;
}

MutableAttributedString makeCreditsText()
{
    MutableAttributedString text;
    text.append(QStringLiteral("A teleprompter for live and recorded speech.\n\n"),
                attributes(12, false, kBlack));
    text.append(QStringLiteral("Built with Qt, zlib, libzip and qpdf.\n\n"), attributes(11, false, kGrey));
    text.append(QStringLiteral("<STATISTICS_TITLE/>\n"), attributes(12, true, kBlack));
    text.append(QStringLiteral("<STATISTICS/>\n"), attributes(11, false, kBlack));
    return text;
}

bool writeReleaseNotes(const QString& resourcesFolder, Error* error)
{
    const QDir resources(resourcesFolder);
    if (!resources.mkpath(kNotesFolderName)) {
        setError(error, Error(kCocoaErrorDomain, kFileWriteUnknownError,
                              {{kFilePathErrorKey, resources.filePath(kNotesFolderName)}}));
        return false;
    }
    DocumentAttributes white;
    white.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(Color::gray(1)));
    const QString note = resources.filePath(kNotesFolderName + u'/' + currentNoteFileName());
    return Rtfd::writeToURL(QUrl::fromLocalFile(note), makeCurrentNoteText(), white, error) &&
           Rtfd::writeToURL(QUrl::fromLocalFile(resources.filePath(kCreditsFileName)), makeCreditsText(), {},
                            error);
}

} // namespace releasenotes
