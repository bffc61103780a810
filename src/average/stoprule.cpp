// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "stoprule.h"

#include "average.h"
#include "export.h"
#include "ring/samplering.h"
#include "statistics.h"

#include <cmath>

namespace quorvel::average {

StopProgress stopProgress(const StopRule &rule, const SampleRing &ring, int elapsedSeconds)
{
    StopProgress progress;
    switch (rule.kind) {
    case StopRule::Kind::Fixes: {
        const int target = int(std::ceil(rule.target));
        progress.met = ring.SampleCount >= target;
        progress.text = QStringLiteral("%1 of %2 fixes").arg(ring.SampleCount).arg(target);
        break;
    }
    case StopRule::Kind::Time: {
        const int target = int(std::ceil(rule.target));
        progress.met = elapsedSeconds >= target;
        progress.text = QStringLiteral("%1 of %2").arg(durationText(elapsedSeconds), durationText(target));
        break;
    }
    case StopRule::Kind::Uncertainty: {
        const QString target = QString::number(rule.target, 'f', 2);
        std::optional<double> radius;
        if (const std::optional<Average> mean = averageSamples(ring); mean && mean->mean.isFinite())
            radius = spreadOf(ring, *mean)->mean.horizontal95;
        progress.met = radius && *radius <= rule.target;
        progress.text = radius
            ? QStringLiteral("Mean \u00b1%1 m (95 %); stop at \u00b1%2 m")
                  .arg(QString::number(*radius, 'f', 2), target)
            : QStringLiteral("Too short to tell how good the mean is; stop at \u00b1%1 m (95 %)").arg(target);
        break;
    }
    }
    return progress;
}

} // namespace quorvel::average
