// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "stoprule.h"

#include "average.h"
#include "export.h"
#include "ring/samplering.h"
#include "statistics.h"

#include <QStringList>

#include <cmath>

namespace quorvel::average {

QString stopRuleSetting(const StopRule &rule)
{
    switch (rule.kind) {
    case StopRule::Kind::Fixes:
        return QStringLiteral("fixes %1").arg(qint64(std::ceil(rule.target)));
    case StopRule::Kind::Time:
        return QStringLiteral("time %1").arg(qint64(std::ceil(rule.target)));
    case StopRule::Kind::Uncertainty:
        break;
    }
    return QStringLiteral("mean %1").arg(QString::number(rule.target, 'f', 2));
}

std::optional<StopRule> parseStopRule(const QString &setting)
{
    const QStringList words = setting.simplified().split(QLatin1Char(' '));
    if (words.size() != 2)
        return std::nullopt;
    bool isNumber = false;
    StopRule rule;
    if (words[0] == QLatin1String("fixes") || words[0] == QLatin1String("time")) {
        rule.kind = words[0] == QLatin1String("fixes") ? StopRule::Kind::Fixes : StopRule::Kind::Time;
        rule.target = words[1].toInt(&isNumber);
    } else if (words[0] == QLatin1String("mean")) {
        rule.kind = StopRule::Kind::Uncertainty;
        rule.target = std::round(words[1].toDouble(&isNumber) * 100) / 100;
    }
    if (!isNumber || !(rule.target > 0) || rule.target > 1e9)
        return std::nullopt;
    // The count of fixes stops growing at the ring's size: a larger target
    // would never be met.
    if (rule.kind == StopRule::Kind::Fixes && rule.target > SampleRing::RingSize)
        return std::nullopt;
    return rule;
}

QString stopRuleDescription(const StopRule &rule, QStringView separator)
{
    switch (rule.kind) {
    case StopRule::Kind::Fixes:
        return countedText("after %n fix(es)", int(std::ceil(rule.target)));
    case StopRule::Kind::Time:
        return QStringLiteral("after %1").arg(durationText(int(std::ceil(rule.target))));
    case StopRule::Kind::Uncertainty:
        break;
    }
    return QStringLiteral("when the mean is known to %1").arg(uncertaintyText(rule.target, separator));
}

StopProgress stopProgress(const StopRule &rule, const SampleRing &ring, int elapsedSeconds,
                          QStringView separator)
{
    StopProgress progress;
    switch (rule.kind) {
    case StopRule::Kind::Fixes: {
        const int target = int(std::ceil(rule.target));
        progress.met = ring.SampleCount >= target;
        progress.text = countedText("%1 of %n fix(es)", target).arg(ring.SampleCount);
        progress.line = QStringLiteral("Stop rule: %1.").arg(progress.text);
        break;
    }
    case StopRule::Kind::Time: {
        const int target = int(std::ceil(rule.target));
        progress.met = elapsedSeconds >= target;
        progress.text = QStringLiteral("%1 of %2").arg(durationText(elapsedSeconds), durationText(target));
        progress.line = QStringLiteral("Stop rule: %1.").arg(progress.text);
        break;
    }
    case StopRule::Kind::Uncertainty: {
        const QString target = fixedText(rule.target, 2, separator);
        progress.scatter = scatterOf(ring);
        const std::optional<double> radius
            = progress.scatter ? progress.scatter->spread.mean.horizontal95 : std::nullopt;
        progress.met = radius && *radius <= rule.target;
        progress.text = radius ? QStringLiteral("now %1").arg(uncertaintyText(radius, separator))
                               : QStringLiteral("too short to tell how good the mean is yet");
        const QString now = radius ? QStringLiteral("mean \u00b1%1 m").arg(fixedText(*radius, 2, separator))
                                   : QStringLiteral("too short to tell");
        progress.line = QStringLiteral("Stop at \u00b1%1 m: %2.").arg(target, now);
        progress.stoppedLine = QStringLiteral("Stopped by its rule: %1.").arg(now);
        return progress;
    }
    }
    progress.stoppedLine
        = QStringLiteral("Stopped by its rule: %1.").arg(stopRuleDescription(rule, separator));
    return progress;
}

} // namespace quorvel::average
