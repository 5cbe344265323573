#pragma once

#include "platform/text/ParagraphStyle.h"

// The platform's default paragraph indents, and paragraph styles measured against them.
namespace NSParagraphStyleOVIndentAdditions {

double defaultFirstLineHeadIndent();
double defaultHeadIndent();
double defaultTailIndent();
// All three indents exactly the defaults.
bool usesDefaultIndents(const ParagraphStyle& style);

} // namespace NSParagraphStyleOVIndentAdditions

namespace NSMutableParagraphStyleOVIndentAdditions {

// Sets the three indents to the defaults.
void normalizeIndents(ParagraphStyle& style);

} // namespace NSMutableParagraphStyleOVIndentAdditions
