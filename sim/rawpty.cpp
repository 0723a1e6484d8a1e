#include "sim/rawpty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

bool RawPty::open()
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return false;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // A program started from here must not hold the line: while it kept a
    // copy of the master, closing ours would not hang the line up.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

void RawPty::close()
{
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    master = slave = -1;
}
