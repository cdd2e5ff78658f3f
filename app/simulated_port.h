// The built-in simulated device behind --simulate: a KVU on a pseudo-terminal in this process,
// found by the window wherever its line currently is.
#pragma once

#include <QString>

#include <memory>

#include "discovery/port_finders.h"

namespace kvu {

class SimulatedPort {
  public:
    SimulatedPort();
    ~SimulatedPort();
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    // False with the reason when this platform has no simulator or the line cannot be opened.
    bool start(QString& error);
    // Valid while this object lives.
    PortFinder finder() const;

  private:
    struct Device;
    std::unique_ptr<Device> device_;
};

}  // namespace kvu
