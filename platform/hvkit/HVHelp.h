#pragma once

#include <QString>

// The program's help pages, which ship beside it (in the shared data folder once installed): a help
// button opens them at its anchor, and says what is missing when they are not there, so that a
// button never does nothing.
namespace HVHelp {

void openLocalHelp(const QString& anchor);

} // namespace HVHelp
