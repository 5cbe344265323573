#pragma once

#include <QString>

#include <functional>

// The program's help pages, which ship beside it (in the shared data folder once installed): a help
// button opens them at its anchor, and says what is missing when they are not there, so that a
// button never does nothing.
namespace HVHelp {

void openLocalHelp(const QString& anchor);

// Replaces where every help button leads (tests record the anchor instead); an empty opener restores
// the local pages.
using Opener = std::function<void(const QString& anchor)>;
void setOpener(Opener opener);

} // namespace HVHelp
