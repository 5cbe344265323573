#include "app/sample/SampleScript.h"

#include "document/OVDocument.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/foundation/Error.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmark.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace samplescript {

namespace {

void appendBookmark(MutableAttributedString& text, const QString& name)
{
    auto bookmark = std::make_shared<OVBookmark>(name);
    AttributeDictionary attributes = bodyAttributes();
    attributes.insert(kAttachmentAttributeName, AttributeValue(bookmark->textAttachment()));
    text.append(QString(QChar(0xFFFC)), attributes);
}

} // namespace

AttributeDictionary bodyAttributes()
{
    Font font;
    font.familyName = QStringLiteral("Helvetica");
    font.fontName = QStringLiteral("Helvetica");
    font.pointSize = 36;
    AttributeDictionary attributes;
    attributes.insert(kFontAttributeName, AttributeValue(font));
    attributes.insert(kForegroundColorAttributeName, AttributeValue(Color::gray(1)));
    return attributes;
}

MutableAttributedString makeSampleText()
{
    const QStringList opening{
        QStringLiteral("Good evening, and welcome to Orvane."),
        QStringLiteral("This is a sample script, here so you can try the prompter at once."),
        QStringLiteral("Press the Start hot key, the space bar, and the text begins to move."),
        QStringLiteral("Press it again to pause. The number keys one to nine set the speed."),
        QStringLiteral(
            "Read at an even pace: the prompter follows the speed you set, not the other way round."),
    };
    const QStringList closing{
        QStringLiteral("Bookmarks mark places you want to reach quickly while prompting."),
        QStringLiteral("This paragraph starts at the second bookmark of the script."),
        QStringLiteral("Edit this text as you like, then save it as a script of your own."),
        QStringLiteral("Thank you for watching. Good night."),
    };
    MutableAttributedString text;
    appendBookmark(text, QStringLiteral("Opening"));
    for (const QString& line : opening)
        text.append(line + u'\n', bodyAttributes());
    text.append(QStringLiteral("\n"), bodyAttributes());
    appendBookmark(text, QStringLiteral("Closing"));
    for (const QString& line : closing)
        text.append(line + u'\n', bodyAttributes());
    return text;
}

bool writeSample(const QString& path, Error* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    MutableAttributedString text = makeSampleText();
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.backgroundColor = Color::gray(0);
    input.selectedRanges = QStringList{QStringLiteral("{0, 0}")};
    input.scrollbarPosition = 0;
    input.speed = 2;
    input.windowFrame = QStringLiteral("{{120, 120}, {900, 600}}");
    input.metadataInfo = OVDocument::nullMetadataInfoDictionary();
    // The same bytes on every machine that generates them.
    input.recordsSystemVersion = false;
    return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), {}, input, error);
}

} // namespace samplescript
