#pragma once

class MutableAttributedString;

// A script turned into a style any reader can print on white, for the exports that ask for a simple
// style: no attachments or bookmarks, font sizes mapped linearly onto the print panel's small band
// (a text of one size takes its largest size), greys and outline colours black and other text colours
// kept where they read on white (darkened where not), no highlights, and paragraphs with their
// alignment and writing direction alone.
namespace OVStyleSimplifiedStorage {

void simplify(MutableAttributedString& text, double minimumPointSize, double maximumPointSize);

} // namespace OVStyleSimplifiedStorage
