// Links the Windows-only sources into one program with the Windows libraries, so that a
// declaration without its Windows definition, or a missing system library, shows here. It is
// built with the mingw-w64 cross compiler and not run.
#include <cstdio>
#include <string>

#include "app/restart_support.h"
#include "app/single_instance.h"
#include "app/stop_signals.h"
#include "discovery/device_monitor.h"
#include "discovery/setupapi_com_ports.h"
#include "serial/serial_port.h"
#include "ui/win32_window_messages.h"

int main() {
    kvu::registerRestartSupport();

    kvu::SingleInstance instance;
    const bool acquired = instance.acquire() == kvu::SingleInstance::State::Acquired;
    instance.release();

    kvu::SerialPort port;
    const kvu::OpenResult opened = port.open("COM250");
    if (opened.ok()) {
        char buffer[16];
        (void)port.read(buffer, sizeof buffer);
        (void)port.waitWritable(10);
        (void)port.write("ver\r", 4);
        port.cancelRead();
        port.close();
    }

    int ports = 0;
    kvu::win::ComPortVisitor visitor;
    visitor.acceptParent = [](const kvu::win::ComPortIds&) { return true; };
    visitor.port = [&](const kvu::win::ComPortIds&) { ++ports; };
    visitor.failed = [](kvu::win::ComPortFailure) {};
    const bool walked = kvu::win::walkComPorts(visitor);

    kvu::DeviceMonitor monitor;
    const bool monitoring = monitor.open().ok();
    if (monitoring) {
        (void)monitor.waitable();
        ports += static_cast<int>(monitor.takeArrivals().size());
        monitor.close();
    }

    kvu::win::appendAboutItem(nullptr, 0x0010, L"About");
    const kvu::win::WindowMessage decoded = kvu::win::decodeWindowMessage(nullptr, 0x0010);
    (void)decoded;
    (void)kvu::win::queryEndSessionResult();

    kvu::StopSignals stops;
    std::string stopError;
    if (stops.install(stopError)) {
        (void)stops.waitable();
        (void)stops.take();
        stops.finished();
    }

    std::printf("%d %d %d %d %d %d\n", acquired, opened.ok(), walked, monitoring, ports,
                static_cast<int>(kvu::win::deviceChangeResult()));
    return 0;
}
