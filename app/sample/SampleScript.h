#pragma once

#include "platform/text/MutableAttributedString.h"

#include <QString>

class Error;

// The sample script the project ships under resources/: its text, and the package our own writer makes
// of it. The tool that writes the shipped package and the test that checks it share this one source.
namespace samplescript {

inline const QString kSampleRelativePath = QStringLiteral("resources/Sample Script.ovdocument");

// What every paragraph of the sample is set in.
AttributeDictionary bodyAttributes();
// A short script in two parts, each opened by a bookmark.
MutableAttributedString makeSampleText();
// Writes the sample as a package at path, in one atomic step.
bool writeSample(const QString& path, Error* error);

} // namespace samplescript
