// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A simulated GPS receiver on a pseudo-terminal, for trying GPS Quorvel
// without hardware. It prints the device path, then streams NMEA at the
// pace of a serial line (4800 bit/s unless told: 480 characters a second),
// each byte when the line would have carried it: a stationary fix with
// metre-level noise, or a recorded log replayed.
//
//   nmeasim [--link PATH] [--delay-ms N] [--rate BITS] [--hz N] [--log FILE] [--once]

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
double bytesPerSecond = 4800.0 / 10; // start bit, 8 data bits, stop bit

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int)
{
    stopRequested = 1;
}

int usage()
{
    std::cerr << "usage: nmeasim [--link PATH] [--delay-ms N] [--rate BITS] [--hz N] [--log FILE] [--once]\n"
                 "  --link PATH     also make PATH a symbolic link to the device\n"
                 "  --delay-ms N    start each second's sentences N ms (0 to 999) after that second\n"
                 "                  of this machine's UTC clock, as a real receiver does (default 0)\n"
                 "  --rate BITS     the line's bit rate, 1200 to 921600 (default 4800)\n"
                 "  --hz N          epochs a second: 1, 2, 5 or 10 (default 1); the sentences that\n"
                 "                  do not fit in an epoch at the bit rate are left out, GGA last\n"
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

    // Sends `text` no faster than the line rate allows: byte n of a run
    // leaves n byte times after the first, which leaves at once.
    void send(const std::string &text)
    {
        // A line that stood idle has no bytes in hand: the pace starts afresh.
        if (Clock::now() - m_start > std::chrono::duration<double>(double(m_total) / bytesPerSecond)) {
            m_start = Clock::now();
            m_total = 0;
        }
        for (std::size_t sent = 0; sent < text.size() && !stopRequested;) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
            const auto allowed = static_cast<long long>(elapsed * bytesPerSecond) + 1 - m_total;
            if (allowed <= 0) {
                std::this_thread::sleep_until(
                    m_start + std::chrono::duration<double>(double(m_total) / bytesPerSecond));
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
    int perSecond = 1;
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
        } else if ((arg == "--rate" || arg == "--hz") && i + 1 < argc) {
            const std::string value = argv[++i];
            char *end = nullptr;
            const long number = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0')
                return usage();
            if (arg == "--rate" && number >= 1200 && number <= 921600)
                bytesPerSecond = double(number) / 10;
            else if (arg == "--hz" && (number == 1 || number == 2 || number == 5 || number == 10))
                perSecond = int(number);
            else
                return usage();
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
        // What the line carries in nine tenths of an epoch.
        const auto budget = static_cast<std::size_t>(bytesPerSecond * 0.9 / perSecond);
        for (int epoch = 0; !stopRequested; ++epoch) {
            // Each epoch's sentences start `delay` after its instant of UTC
            // (a whole second at 1 Hz), and carry that instant, as a
            // receiver's do.
            const auto at = nmeasim::nextEpoch(std::chrono::system_clock::now(), delay, perSecond);
            std::this_thread::sleep_until(at + delay);
            std::string burst;
            for (const std::string &sentence : receiver.epoch(at, epoch)) {
                if (perSecond == 1 || burst.size() + sentence.size() <= budget)
                    burst += sentence;
            }
            writer.send(burst);
        }
    }
    if (linkPath)
        unlink(linkPath);
    close(master);
    return 0;
}
