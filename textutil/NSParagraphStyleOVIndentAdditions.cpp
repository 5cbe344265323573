#include "textutil/NSParagraphStyleOVIndentAdditions.h"

namespace NSParagraphStyleOVIndentAdditions {

namespace {

const ParagraphStyle& defaultStyle()
{
    static const ParagraphStyle style;
    return style;
}

} // namespace

double defaultFirstLineHeadIndent()
{
    return defaultStyle().firstLineHeadIndent;
}

double defaultHeadIndent()
{
    return defaultStyle().headIndent;
}

double defaultTailIndent()
{
    return defaultStyle().tailIndent;
}

bool usesDefaultIndents(const ParagraphStyle& style)
{
    return style.firstLineHeadIndent == defaultFirstLineHeadIndent() &&
           style.headIndent == defaultHeadIndent() && style.tailIndent == defaultTailIndent();
}

} // namespace NSParagraphStyleOVIndentAdditions

namespace NSMutableParagraphStyleOVIndentAdditions {

void normalizeIndents(ParagraphStyle& style)
{
    style.firstLineHeadIndent = NSParagraphStyleOVIndentAdditions::defaultFirstLineHeadIndent();
    style.headIndent = NSParagraphStyleOVIndentAdditions::defaultHeadIndent();
    style.tailIndent = NSParagraphStyleOVIndentAdditions::defaultTailIndent();
}

} // namespace NSMutableParagraphStyleOVIndentAdditions
