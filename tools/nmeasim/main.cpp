// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A simulated GPS receiver on a pseudo-terminal, for trying GPS Quorvel
// without hardware. It prints the device path, then streams NMEA at the
// pace of a 4800 bit/s line (480 characters a second): a stationary fix
// with metre-level noise, or a recorded log replayed.
//
//   nmeasim [--link PATH] [--delay-ms N] [--log FILE] [--once]

#include "receiver.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double BytesPerSecond = 4800.0 / 10; // start bit, 8 data bits, stop bit

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int)
{
    stopRequested = 1;
}

int usage()
{
    std::cerr << "usage: nmeasim [--link PATH] [--delay-ms N] [--log FILE] [--once]\n"
                 "  --link PATH     also make PATH a symbolic link to the device\n"
                 "  --delay-ms N    start each second's sentences N ms (0 to 999) after that second\n"
                 "                  of this machine's UTC clock, as a real receiver does (default 0)\n"
                 "  --log FILE      replay a recorded NMEA log (lines starting with # are skipped)\n"
                 "  --once          with --log, stop at the end of the log instead of repeating it\n";
    return 2;
}

// A recorded log without its comment lines, byte for byte otherwise.
std::string loadLog(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "nmeasim: cannot read " << path << ": " << std::strerror(errno) << '\n';
        std::exit(1);
    }
    std::ostringstream kept;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line[0] == '#')
            continue;
        kept << line;
        if (!file.eof())
            kept << '\n';
    }
    return kept.str();
}

// Like a serial line, the pseudo-terminal carries nothing while no program
// has the device open: what the receiver sends meanwhile is lost.
bool readerPresent(int master)
{
    pollfd p{master, POLLOUT, 0};
    return poll(&p, 1, 0) == 1 && !(p.revents & POLLHUP);
}

class PacedWriter
{
public:
    explicit PacedWriter(int master)
        : m_master(master)
        , m_start(Clock::now())
    {
    }

    // Sends `text` no faster than the line rate allows.
    void send(const std::string &text)
    {
        // A line that stood idle has no bytes in hand: the pace starts afresh.
        if (Clock::now() - m_start > std::chrono::duration<double>(double(m_total) / BytesPerSecond)) {
            m_start = Clock::now();
            m_total = 0;
        }
        for (std::size_t sent = 0; sent < text.size() && !stopRequested;) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
            const auto allowed = static_cast<long long>(elapsed * BytesPerSecond) - m_total;
            if (allowed <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            const std::size_t chunk = std::min<std::size_t>(allowed, text.size() - sent);
            if (readerPresent(m_master)) {
                if (write(m_master, text.data() + sent, chunk) < 0 && errno != EAGAIN && errno != EIO)
                    std::perror("nmeasim: write");
            }
            sent += chunk;
            m_total += static_cast<long long>(chunk);
        }
    }

private:
    int m_master;
    Clock::time_point m_start;
    long long m_total = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    const char *linkPath = nullptr;
    const char *logPath = nullptr;
    bool once = false;
    std::chrono::milliseconds delay{0};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--link" && i + 1 < argc)
            linkPath = argv[++i];
        else if (arg == "--log" && i + 1 < argc)
            logPath = argv[++i];
        else if (arg == "--once")
            once = true;
        else if (arg == "--delay-ms" && i + 1 < argc) {
            const std::string value = argv[++i];
            char *end = nullptr;
            const long ms = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || ms < 0 || ms > 999)
                return usage();
            delay = std::chrono::milliseconds(ms);
        } else
            return usage();
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("nmeasim: cannot create a pseudo-terminal");
        return 1;
    }
    const std::string device = ptsname(master);
    if (linkPath) {
        unlink(linkPath);
        if (symlink(device.c_str(), linkPath) != 0) {
            std::perror("nmeasim: cannot create the link");
            return 1;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << (linkPath ? linkPath : device.c_str()) << std::endl;

    PacedWriter writer(master);
    if (logPath) {
        const std::string log = loadLog(logPath);
        do
            writer.send(log);
        while (!once && !stopRequested);
    } else {
        nmeasim::SimulatedReceiver receiver;
        for (int epoch = 0; !stopRequested; ++epoch) {
            // Each epoch's sentences start `delay` after a whole second of
            // UTC, and carry that second, as a receiver's do.
            const std::chrono::sys_seconds second
                = nmeasim::nextBurst(std::chrono::system_clock::now(), delay);
            std::this_thread::sleep_until(second + delay);
            for (const std::string &sentence : receiver.epoch(second, epoch))
                writer.send(sentence);
        }
    }
    if (linkPath)
        unlink(linkPath);
    close(master);
    return 0;
}
