#pragma once

// The script the output and document benchmarks share: a megabyte of plain prompter text in
// alternating plain and bold runs, with bookmarks and pictures spread evenly through it, and the
// offscreen application the views need.
#include "BenchApplication.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>

#include <memory>

namespace PromptedScript {

constexpr qsizetype kTextSize = 1 << 20;
constexpr int kRuns = 20000;
constexpr int kBookmarks = 500;

inline QApplication& application()
{
    return bench::application();
}

// A small PNG, as a picture pasted into a script would be stored.
inline std::shared_ptr<TextAttachment> picture(int index)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 37) % 360, 200, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto wrapper = FileWrapper::makeRegularFile(bytes);
    wrapper->setPreferredFilename(QStringLiteral("Picture %1.png").arg(index));
    return std::make_shared<TextAttachment>(wrapper);
}

// kTextSize characters in kRuns runs, with bookmarks and pictures after evenly spaced runs.
inline MutableAttributedString make(int bookmarks = kBookmarks, int pictures = 0)
{
    QString text;
    text.reserve(kTextSize);
    const QString words =
        QStringLiteral("Good evening and welcome to the news at nine where tonight we report ");
    int word = 0;
    while (text.size() < kTextSize) {
        text += words;
        if (++word % 6 == 0)
            text += QLatin1Char('\n');
    }
    text.truncate(kTextSize);
    const AttributeDictionary plain{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}},
        {kForegroundColorAttributeName, Color::gray(1)}};
    const AttributeDictionary bold{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 36, true}},
        {kForegroundColorAttributeName, Color::rgb(1, 1, 0)}};
    const QString mark{QChar(kAttachmentCharacter)};
    MutableAttributedString script;
    const qsizetype runLength = kTextSize / kRuns;
    const int runsPerBookmark = bookmarks > 0 ? kRuns / bookmarks : kRuns + 1;
    const int runsPerPicture = pictures > 0 ? kRuns / pictures : kRuns + 1;
    for (qsizetype start = 0, run = 0; start < kTextSize; start += runLength, ++run) {
        script.append(text.mid(start, std::min(runLength, kTextSize - start)), run % 2 ? bold : plain);
        if (run % runsPerBookmark == runsPerBookmark / 2)
            script.append(AttributedString(
                mark, {{kAttachmentAttributeName, OVBookmark::bookmark()->textAttachment()}}));
        if (run % runsPerPicture == runsPerPicture / 3)
            script.append(
                AttributedString(mark, {{kAttachmentAttributeName, picture(int(run / runsPerPicture))}}));
    }
    return script;
}

// The script with its bookmarks named "Scene 1" onwards, as a script with an outline has them.
inline MutableAttributedString makeNamed(int bookmarks = kBookmarks)
{
    MutableAttributedString script = make(bookmarks);
    int number = 0;
    script.enumerateAttribute(kAttachmentAttributeName, Range{0, script.length()}, 0,
                              [&number](const AttributeValue& value, const Range&, bool&) {
                                  if (const auto attachment = value.attachment())
                                      if (const auto bookmark =
                                              NSTextAttachmentOVBookmarkAdditions::bookmark(*attachment))
                                          bookmark->setName(QStringLiteral("Scene %1").arg(++number));
                              });
    return script;
}

} // namespace PromptedScript
