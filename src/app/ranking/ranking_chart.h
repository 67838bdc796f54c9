#pragma once

#include <QChartView>

#include "jobs/ranking/ranking_trend.h"

namespace tarvisk {

/// The chart of the ranking history "排名走势": for each keyword a line of its row numbers over time, better places
/// higher (the row number axis runs downwards, 1 at the top), its not-found runs at the bottom on the not-found
/// level; those runs are marked once more by the series "未找到". Runs without an answer are not drawn.
class RankingChart : public QChartView {
    Q_OBJECT
public:
    explicit RankingChart(QWidget* parent = nullptr);

    /// Draws `trend`: a line series named after each keyword (x: the run's time in milliseconds since 1970, y: its
    /// row number), and the scatter series "未找到" when any keyword has a not-found run.
    void showTrend(const RankingTrend& trend);
};

} // namespace tarvisk
