#pragma once

// The I-beam additions of the program's start. The white I-beam over dark text views was needed only
// by platform releases older than the one the program is built for, so every operation answers as
// the current release does: nothing is exchanged and the platform's own I-beam stays in use.

#include "platform/appkit/Cursor.h"

#include <optional>

namespace NSCursorOVAdditions {

// Does nothing on the current release.
void toggleBetterIBeamCursor();
// None on the current release: the platform's I-beam is the answer.
std::optional<Cursor> betterIBeamCursor();
std::optional<Cursor> whiteIBeamCursor();
// Sets the exchange flag to flag when setPerformedSwizzle is true; answers the flag.
bool _performedSwizzle(bool flag, bool setPerformedSwizzle);

} // namespace NSCursorOVAdditions
