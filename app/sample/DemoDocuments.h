#pragma once

#include "platform/text/MutableAttributedString.h"

#include <QString>

class Error;

// The scripts the Help menu opens from the shipped "Demo Documents" folder: the tutorial, in one copy
// per margin width (its name padded with one space a side for screens from 1430 points wide, two
// from 1910), and the tongue twister. Written by our own package writer, like the sample script.
namespace demodocuments {

inline const QString kRelativeFolder = QStringLiteral("resources/Demo Documents");
// The language the shipped tutorial is written in; other languages fall back to the plain name.
inline const QString kTutorialLanguage = QStringLiteral("en");

// margin: the spaces a side of the tutorial's name, which its text's indents follow.
MutableAttributedString makeTutorialText(int margin);
MutableAttributedString makeTongueTwisterText();
// Writes every demo document under folder, each in one atomic step.
bool writeDemoDocuments(const QString& folder, Error* error);

} // namespace demodocuments
