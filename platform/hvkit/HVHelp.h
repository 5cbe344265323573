#pragma once

#include <QString>

#include <functional>

// The program's help pages, one per help anchor ("<anchor>.html"), which ship beside it (in the
// shared data folder once installed): a help button opens its page in the desktop's browser, and
// says what is missing when the page or a browser is not there, so that a button never does
// nothing.
namespace HVHelp {

void openLocalHelp(const QString& anchor);

// The folder the pages are read from; by default "share/orvane/help" beside the program's folder.
void setFolder(const QString& folder);
QString folder();
// The page of anchor, whether or not it exists.
QString pagePath(const QString& anchor);

// Replaces where every help button leads (tests record the anchor instead); an empty opener restores
// the local pages.
using Opener = std::function<void(const QString& anchor)>;
void setOpener(Opener opener);

} // namespace HVHelp
