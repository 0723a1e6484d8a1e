#include "projectors/venue.h"

QString VenueProjector::lineKey() const
{
    return device;
}

namespace Venue {

QList<VenueProjector> parse(QByteArrayView)
{
    return {};
}

QList<VenueProjector> read()
{
    return {};
}

} // namespace Venue
