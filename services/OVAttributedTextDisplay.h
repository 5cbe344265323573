#pragma once

class AttributedString;
class QTextEdit;

// Shows an attributed string in a read-only Qt text view run by run: fonts, sizes, weights,
// colours, highlights and underlines as the runs carry them. A highlight stays on its own run,
// where an HTML round trip would spread a run's style over its whole paragraph.
void OVShowAttributedText(QTextEdit& view, const AttributedString& text);
