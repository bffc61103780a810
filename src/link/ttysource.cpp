// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ttysource.h"

#include "sourcespec.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quorvel::link {

namespace {

struct RateCode
{
    int rate;
    speed_t code;
};
constexpr std::array Rates{RateCode{1200, B1200},     RateCode{2400, B2400},     RateCode{4800, B4800},
                           RateCode{9600, B9600},     RateCode{19200, B19200},   RateCode{38400, B38400},
                           RateCode{57600, B57600},   RateCode{115200, B115200}, RateCode{230400, B230400},
                           RateCode{460800, B460800}, RateCode{921600, B921600}};

// Every rate a source may name has its termios code here, in the same order.
constexpr bool coversSupportedRates()
{
    if (Rates.size() != SupportedRates.size())
        return false;
    for (size_t i = 0; i < Rates.size(); ++i) {
        if (Rates[i].rate != SupportedRates[i])
            return false;
    }
    return true;
}
static_assert(coversSupportedRates());

// The lock file other serial programs (Qt's among them) look for: LCK.. and
// the device's path below /dev with '/' as '_', in the first lock folder
// that holds it or may be written.
QString lockFilePath(const QString &device)
{
    QString name = QFileInfo(device).absoluteFilePath();
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
                               "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const QFileInfo dir{QString::fromLatin1(folder)};
        const QString path = QLatin1String(folder) + QStringLiteral("/LCK..") + name;
        if (dir.isReadable() && (QFileInfo::exists(path) || dir.isWritable()))
            return path;
    }
    return {};
}

} // namespace

TtySource::TtySource(QString device, int rate, QObject *parent)
    : Source(parent)
    , m_device(std::move(device))
    , m_rate(rate)
{
}

TtySource::~TtySource()
{
    close();
}

bool TtySource::open()
{
    close();
    if (const QString lockPath = lockFilePath(m_device); !lockPath.isEmpty()) {
        m_lock = std::make_unique<QLockFile>(lockPath);
        m_lock->setStaleLockTime(0); // a lock whose process is gone is stale at once
        if (!m_lock->tryLock(0)) {
            qint64 pid = 0;
            QString host, application;
            const bool held = m_lock->error() == QLockFile::LockFailedError;
            if (held && m_lock->getLockInfo(&pid, &host, &application)) {
                m_lock.reset();
                return fail(Failure::InUse,
                            tr("in use by another program (process %1%2)")
                                .arg(pid)
                                .arg(application.isEmpty() ? QString() : QStringLiteral(", ") + application));
            }
            // A lock folder we may not write to: TIOCEXCL below still guards the device.
            m_lock.reset();
            if (held)
                return fail(Failure::InUse, tr("in use by another program"));
        }
    }

    m_fd = ::open(QFile::encodeName(m_device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        m_lock.reset();
        switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return fail(Failure::NotFound, tr("no such device"));
        case EACCES:
        case EPERM:
            return fail(Failure::Permission, tr("permission denied"));
        case EBUSY:
            return fail(Failure::InUse, tr("in use by another program"));
        default:
            return fail(Failure::Other, QString::fromLocal8Bit(std::strerror(error)));
        }
    }
    if (ioctl(m_fd, TIOCEXCL) != 0 && errno == EBUSY) {
        close();
        return fail(Failure::InUse, tr("in use by another program"));
    }
    if (!applyRate()) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return fail(Failure::Other, tr("not a serial device (%1)").arg(reason));
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Source::readable);
    return true;
}

// Sets the line to m_rate and drops what waits in the input queue: it came
// at another rate, or before the port was opened, perhaps hours before (a
// pseudo-terminal keeps what its writer sent until its buffer is full). A
// time or position from it would be garbage or stale.
bool TtySource::applyRate()
{
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const auto code
        = std::find_if(Rates.cbegin(), Rates.cend(), [this](const RateCode &r) { return r.rate == m_rate; });
    const speed_t speed = code == Rates.cend() ? B4800 : code->code;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return false; // errno says why
    tcflush(m_fd, TCIFLUSH);
    return true;
}

bool TtySource::setRate(int rate)
{
    m_rate = rate;
    return m_fd < 0 || applyRate();
}

void TtySource::close()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_lock.reset();
}

bool TtySource::readInto(QByteArray &buffer, qsizetype max)
{
    // All the kernel holds, not only `max` bytes: what stays behind is older
    // than what follows it. A writer as fast as this loop cannot keep it
    // going.
    const qsizetype from = buffer.size();
    char chunk[4096];
    while (m_fd >= 0 && buffer.size() - from < 4 * MaxHeld) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            buffer.append(chunk, n);
            if (n < qsizetype(sizeof chunk))
                break; // the kernel had no more: no need to ask again
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // End of file or an I/O error: the device is gone (a pulled USB
        // adapter, a pseudo-terminal whose other end closed).
        const QString reason
            = n == 0 ? tr("the device was closed") : QString::fromLocal8Bit(std::strerror(errno));
        close();
        fail(Failure::Other, reason);
        QMetaObject::invokeMethod(this, &Source::lost, Qt::QueuedConnection);
    }
    return keepNewest(buffer, from, max);
}

qsizetype TtySource::bytesWaiting() const
{
    int waiting = 0;
    return m_fd >= 0 && ioctl(m_fd, FIONREAD, &waiting) == 0 ? waiting : -1;
}

void TtySource::setNotifying(bool on)
{
    if (m_notifier)
        m_notifier->setEnabled(on);
}

} // namespace quorvel::link
