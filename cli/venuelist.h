#pragma once

class QTextStream;

// "orvactl projectors": the venue as the settings file names it.
namespace VenueList {

// Prints each projector of the venue in file order to |out|, as aligned text
// or, with |json|, as one JSON object per projector; each bad line with its
// reason. Returns the exit status: 0 when every line can be used, 1 when one
// cannot.
int print(bool json, QTextStream &out, QTextStream &err);

} // namespace VenueList
