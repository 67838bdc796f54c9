#pragma once

#include <QChartView>
#include <QHash>
#include <QStringList>

#include "jobs/ranking/ranking_trend.h"

namespace tarvisk {

/// The chart of the ranking history "排名走势": for each keyword a line of its places on the result pages over time,
/// better places higher (the axis runs downwards, 1 at the top), its not-found runs at the bottom on the not-found
/// level, in a grey band of their own below every place found; those runs are marked once more by the series
/// "未找到". Runs without an answer are not drawn. Resting the pointer on a point shows its run: the keyword, the
/// time and the outcome.
class RankingChart : public QChartView {
    Q_OBJECT
public:
    explicit RankingChart(QWidget* parent = nullptr);

    /// Draws `trend`: a line series named after each keyword (x: the run's time in milliseconds since 1970, y: its
    /// place), and the scatter series "未找到" when any keyword has a not-found run.
    void showTrend(const RankingTrend& trend);

    /// What the chart shows for the point of `series` nearest to `at` (along the time axis): u"连衣裙\n2024-05-01
    /// 09:00\n2页 2行 第3"; empty for a series without points of runs.
    QString pointText(const QAbstractSeries* series, const QPointF& at) const;

private:
    /// Each series' points as runs: the texts pointText gives, in the order of the series' points.
    QHash<const QAbstractSeries*, QStringList> m_pointTexts;
};

} // namespace tarvisk
