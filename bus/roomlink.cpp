#include "bus/roomlink.h"

// No parent: it lives as long as the process, like the tables it speaks of.
RoomLink *RoomLink::instance()
{
    static auto *link = new RoomLink;
    return link;
}
