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

namespace {

// Whether a line's sentence is RMC, GNS or ZDA, any talker.
bool namesTimeSentence(QStringView line)
{
    line = nmea::lastSentence(line);
    if (line.size() < 7)
        return false;
    const QStringView name = line.sliced(3, 3);
    return name == u"RMC" || name == u"GNS" || name == u"ZDA";
}

} // namespace

void MonitorFeed::take(const QByteArray &batch, qint64 position, bool wholeLines, bool times,
                       const std::function<void(qint64 sentenceStart)> &process)
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
    const auto onLine = [&](const QString &complete, qsizetype end) {
        if (wholeLines && !complete.isEmpty())
            last = complete;
        // Only a GGA sentence, or while time is wanted another that states
        // it, can change anything, so only such a line is put in the box to
        // be processed: laying out text is most of what receiving costs, and
        // the box is painted once per batch.
        const QStringView view(complete);
        if (!nmea::namesGga(view) && !(times && namesTimeSentence(view)))
            return;
        show(complete);
        process(position + end - nmea::lastSentence(view).size());
    };
    nmea::assembleLines(line, batch, onLine);
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

std::optional<nmea::SentenceTime> MonitorFeed::decodeTime(const QString &line)
{
    if (line.size() < 7)
        return std::nullopt;
    const QByteArray latin1 = line.toLatin1();
    return nmea::decodeTime({latin1.constData(), size_t(latin1.size())});
}

void MonitorFeed::show(const QString &text)
{
    // Text that did not change is not laid out again: a stream of empty
    // lines (NUL noise) then costs nothing but the assembly.
    if (m_monitor->text() != text)
        m_monitor->setText(text);
}

} // namespace quorvel
