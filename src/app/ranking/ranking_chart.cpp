#include "app/ranking/ranking_chart.h"

#include <algorithm>
#include <limits>

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include "app/ui/qt_text.h"
#include "app/ui/plain_text.h"

namespace tarvisk {

namespace {

constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kMsPerDay = 24 * 3600 * kMsPerSecond;
// Room left and right of the runs, as a share of their span; a single moment gets an hour either side.
constexpr double kTimeMargin = 0.04;
constexpr qint64 kSingleMomentMargin = 3600 * kMsPerSecond;
// About this many steps on the row number axis.
constexpr int kRowSteps = 8;

qreal msOf(std::int64_t unixSeconds) {
    return static_cast<qreal>(unixSeconds * kMsPerSecond);
}

/// A round step for the row number axis from 0 to `level`: 10, 20, 50, 100, ...
int rowStep(int level) {
    for (int step = 10;; step *= 10) {
        for (const int factor : {1, 2, 5}) {
            if (level / (step * factor) <= kRowSteps) {
                return step * factor;
            }
        }
    }
}

} // namespace

RankingChart::RankingChart(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("RankingChart"));
    setRenderHint(QPainter::Antialiasing);
    chart()->legend()->setAlignment(Qt::AlignBottom);
    showTrend({});
}

void RankingChart::showTrend(const RankingTrend& trend) {
    QChart& chart = *this->chart();
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }

    auto* time = new QDateTimeAxis;
    time->setTitleText(QStringLiteral("查询时间"));
    auto* rows = new QValueAxis;
    rows->setTitleText(QStringLiteral("排在第几个宝贝（越高越好）"));
    rows->setLabelFormat(QStringLiteral("%d"));
    // Row 1 at the top: a better place is drawn higher.
    rows->setReverse(true);
    rows->setRange(0, trend.notFoundLevel > 0 ? trend.notFoundLevel : NotFoundLevel(0));
    rows->setTickType(QValueAxis::TicksDynamic);
    rows->setTickAnchor(0);
    rows->setTickInterval(rowStep(static_cast<int>(rows->max())));
    chart.addAxis(time, Qt::AlignBottom);
    chart.addAxis(rows, Qt::AlignLeft);

    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    QScatterSeries* notFound = nullptr;
    for (const TrendLine& line : trend.lines) {
        auto* series = new QLineSeries;
        series->setName(PlainMarkup(QtText(line.keyword)));
        series->setPointsVisible(true);
        for (const TrendPoint& point : line.points) {
            series->append(msOf(point.ranAt), point.number);
            first = std::min<qint64>(first, point.ranAt * kMsPerSecond);
            last = std::max<qint64>(last, point.ranAt * kMsPerSecond);
            if (!point.found) {
                if (notFound == nullptr) {
                    notFound = new QScatterSeries;
                    notFound->setName(QStringLiteral("未找到"));
                    notFound->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
                    notFound->setMarkerSize(9);
                    notFound->setColor(Qt::darkGray);
                }
                notFound->append(msOf(point.ranAt), point.number);
            }
        }
        chart.addSeries(series);
    }
    if (notFound != nullptr) {
        chart.addSeries(notFound);
    }
    for (QAbstractSeries* series : chart.series()) {
        series->attachAxis(time);
        series->attachAxis(rows);
    }

    if (first > last) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        first = now - kMsPerDay;
        last = now;
    }
    const qint64 margin =
        first == last ? kSingleMomentMargin : static_cast<qint64>(static_cast<double>(last - first) * kTimeMargin);
    time->setRange(QDateTime::fromMSecsSinceEpoch(first - margin), QDateTime::fromMSecsSinceEpoch(last + margin));
    time->setFormat(last - first < 2 * kMsPerDay ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("MM-dd"));
    time->setTickCount(std::clamp(static_cast<int>((last - first) / kMsPerDay) + 2, 3, 8));
}

} // namespace tarvisk
