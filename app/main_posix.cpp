// orvane-update: the program behind the terminal front end.
#include <unistd.h>

#include <iostream>

#include "app/update_dlg.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/posix_resources.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/terminal_window.h"

int main() {
    platform::posix::TerminalWindow window(std::cin, std::cout, ::isatty(0) != 0, ::isatty(1) != 0);
    platform::posix::PosixSystem system;
    platform::posix::PosixResources resources;
    platform::posix::SocketDeviceProvider devices;
    const platform::Platform p{window, system, resources, devices};
    return theApp.Run(p);
}
