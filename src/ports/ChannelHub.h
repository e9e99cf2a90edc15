#pragma once

#include <cstddef>

#include "base/Side.h"

namespace pv {

class Channel;

// The data path as the start and stop of the sides see it: which channels a running side reads
// and writes, and how much waits toward it.
class ChannelHub {
  public:
    virtual ~ChannelHub() = default;
    // The side reads and writes the channel from now on.
    virtual void attach(Side s, Channel& channel) = 0;
    // The side's channels are closed: none of them is read or written any more.
    virtual void detachAll(Side s) = 0;
    // A side started or stopped: a stopped side is neither read nor fed, a started one begins
    // afresh.
    virtual void sideChanged(Side s) = 0;
    // Side A stops: what is held back of its bytes goes on now, unchanged.
    virtual void releaseHeldA() = 0;
    // The side's backlog: the fullest of its channels' queues.
    virtual size_t backlog(Side s) const = 0;
};

}  // namespace pv
