#include "app/ranking/ranking_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include <QAreaSeries>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QLegendMarker>
#include <QToolTip>
#include <QValueAxis>

#include "app/ui/qt_text.h"
#include "app/ui/plain_text.h"
#include "core/date.h"

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
    m_pointTexts.clear();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }

    const int notFoundLevel = trend.notFoundLevel > 0 ? trend.notFoundLevel : NotFoundLevel(0);
    // The band of the not-found runs: from half-way between the lowest place found and their level, as far below it.
    const qreal bandTop = (trend.lowestFound + notFoundLevel) / 2.0;
    const qreal bandBottom = 2.0 * notFoundLevel - bandTop;
    auto* time = new QDateTimeAxis;
    time->setTitleText(QStringLiteral("查询时间"));
    auto* rows = new QValueAxis;
    rows->setTitleText(QStringLiteral("排在第几个宝贝（越高越好）"));
    rows->setLabelFormat(QStringLiteral("%d"));
    // Row 1 at the top: a better place is drawn higher. The not-found level lies inside the axis, in its band.
    rows->setReverse(true);
    rows->setRange(0, bandBottom);
    rows->setTickType(QValueAxis::TicksDynamic);
    rows->setTickAnchor(0);
    rows->setTickInterval(rowStep(notFoundLevel));
    chart.addAxis(time, Qt::AlignBottom);
    chart.addAxis(rows, Qt::AlignLeft);

    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    // Each keyword's not-found runs are squares in its line's colour, in the band.
    std::vector<std::pair<QScatterSeries*, QStringList>> notFoundSeries;
    for (const TrendLine& line : trend.lines) {
        QScatterSeries* notFound = nullptr;
        QStringList notFoundTexts;
        auto* series = new QLineSeries;
        series->setName(PlainMarkup(QtText(line.keyword)));
        series->setPointsVisible(true);
        QStringList texts;
        for (const TrendPoint& point : line.points) {
            const QString text =
                QStringLiteral("%1\n%2\n%3")
                    .arg(QtText(line.keyword), QString::fromStdString(LocalTimeText(point.ranAt)).left(16),
                         QtText(point.outcome));
            series->append(msOf(point.ranAt), point.place);
            texts << text;
            first = std::min<qint64>(first, point.ranAt * kMsPerSecond);
            last = std::max<qint64>(last, point.ranAt * kMsPerSecond);
            if (!point.found) {
                if (notFound == nullptr) {
                    notFound = new QScatterSeries;
                    notFound->setName(PlainMarkup(QtText(line.keyword)) + QStringLiteral("：未找到"));
                    notFound->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
                    notFound->setMarkerSize(9);
                }
                notFound->append(msOf(point.ranAt), point.place);
                notFoundTexts << text;
            }
        }
        chart.addSeries(series);
        m_pointTexts.insert(series, texts);
        if (notFound != nullptr) {
            notFound->setColor(series->color());
            notFoundSeries.emplace_back(notFound, notFoundTexts);
        }
    }
    // A chart of no run says so.
    chart.setTitle(first > last ? QStringLiteral("暂无记录") : QString());

    if (first > last) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        first = now - kMsPerDay;
        last = now;
    }
    const qint64 margin =
        first == last ? kSingleMomentMargin : static_cast<qint64>(static_cast<double>(last - first) * kTimeMargin);
    // The not-found runs lie in a band of their own, below the lowest place found.
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    for (const qint64 at : {first - margin, last + margin}) {
        upper->append(static_cast<qreal>(at), bandTop);
        lower->append(static_cast<qreal>(at), bandBottom);
    }
    auto* band = new QAreaSeries(upper, lower);
    band->setColor(QColor(0, 0, 0, 18));
    band->setBorderColor(Qt::lightGray);
    chart.addSeries(band);
    chart.legend()->markers(band).constFirst()->setVisible(false);
    for (const auto& [notFound, texts] : notFoundSeries) {
        chart.addSeries(notFound);
        m_pointTexts.insert(notFound, texts);
    }
    for (QAbstractSeries* series : chart.series()) {
        series->attachAxis(time);
        series->attachAxis(rows);
        if (auto* points = qobject_cast<QXYSeries*>(series); points != nullptr && m_pointTexts.contains(points)) {
            connect(points, &QXYSeries::hovered, this, [this, points](const QPointF& at, bool over) {
                if (over) {
                    QToolTip::showText(QCursor::pos(), PlainToolTip(pointText(points, at)), this);
                } else {
                    QToolTip::hideText();
                }
            });
        }
    }
    time->setRange(QDateTime::fromMSecsSinceEpoch(first - margin), QDateTime::fromMSecsSinceEpoch(last + margin));
    time->setFormat(last - first < 2 * kMsPerDay ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("MM-dd"));
    time->setTickCount(std::clamp(static_cast<int>((last - first) / kMsPerDay) + 2, 3, 8));
}

QString RankingChart::pointText(const QAbstractSeries* series, const QPointF& at) const {
    const auto* points = qobject_cast<const QXYSeries*>(series);
    const QStringList texts = m_pointTexts.value(series);
    if (points == nullptr || texts.isEmpty() || points->count() != texts.size()) {
        return {};
    }
    // The pointer rests on a line anywhere between two runs: the run nearest in time is meant, of two at the same
    // time the one nearest in place.
    const auto distance = [&at](const QPointF& point) {
        return std::pair(std::abs(point.x() - at.x()), std::abs(point.y() - at.y()));
    };
    int nearest = 0;
    for (int i = 1; i < points->count(); ++i) {
        if (distance(points->at(i)) < distance(points->at(nearest))) {
            nearest = i;
        }
    }
    return texts.at(nearest);
}

} // namespace tarvisk
