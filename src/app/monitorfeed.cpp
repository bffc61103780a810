// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitorfeed.h"

#include "nmea/lineassembly.h"

#include <QLineEdit>

namespace quorvel {

MonitorFeed::MonitorFeed(QLineEdit *monitor)
    : m_monitor(monitor)
{
}

void MonitorFeed::take(const QByteArray &batch, bool wholeLines, const std::function<void()> &process)
{
    // The monitor box holds exactly the line while it is processed, and the
    // partial line once the batch is done. It is written per line rather
    // than per character, which the eye cannot tell apart, since it is
    // painted once per batch anyway.
    QString line = m_monitor->text();
    // A whole line left in the box to be seen is not the start of the next.
    if (line == m_finishedLine)
        line.clear();
    m_finishedLine.clear();
    QString last; // the batch's last whole line, where lines arrive whole
    nmea::assembleLines(line, batch, [this, wholeLines, &last, &process](const QString &complete) {
        if (wholeLines && !complete.isEmpty())
            last = complete;
        // Only a GGA sentence can change anything, so only such a line is
        // put in the box to be processed: laying out text is most of what
        // receiving costs, and the box is painted once per batch.
        if (!nmea::namesGga(QStringView(complete)))
            return;
        show(complete);
        process();
    });
    // A network source hands over whole lines, so every batch would end with
    // the box empty, and no sentence would ever be seen: the last one stays
    // until the next one's characters arrive. A serial line's sentence is
    // seen as it grows.
    if (line.isEmpty() && !last.isEmpty()) {
        show(last);
        m_finishedLine = last;
    } else {
        show(line);
    }
}

std::optional<nmea::GgaFix> MonitorFeed::decode(const QString &line)
{
    if (line.size() < 7)
        return std::nullopt;
    const QByteArray latin1 = line.toLatin1();
    return nmea::decodeGga({latin1.constData(), size_t(latin1.size())});
}

void MonitorFeed::show(const QString &text)
{
    // Text that did not change is not laid out again: a stream of empty
    // lines (NUL noise) then costs nothing but the assembly.
    if (m_monitor->text() != text)
        m_monitor->setText(text);
}

} // namespace quorvel
