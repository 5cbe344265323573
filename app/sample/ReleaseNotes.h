#pragma once

#include "platform/text/MutableAttributedString.h"

#include <QString>

class Error;

// The release note of this version and the about window's credits, shipped under resources/ and
// written by the same tool as the sample script, so the shipped files and their check share one
// source.
namespace releasenotes {

inline const QString kResourcesRelativeFolder = QStringLiteral("resources");
inline const QString kNotesFolderName = QStringLiteral("Release Notes");
inline const QString kCreditsFileName = QStringLiteral("Credits.rtfd");

// "What's New <version> <build>.rtfd" for this build.
QString currentNoteFileName();
MutableAttributedString makeCurrentNoteText();
MutableAttributedString makeCreditsText();

// Writes the current note into "Release Notes" and the credits, both under resourcesFolder.
bool writeReleaseNotes(const QString& resourcesFolder, Error* error);

} // namespace releasenotes
