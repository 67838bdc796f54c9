// The check history window on a large history: how long until the table first shows its rows, how long a row in
// the middle of the history takes to come, and how much memory the window holds. A program to run by hand, not a test.
//
// usage: check_history_window_bench [CHECKS]     (default 200000; the database is made in a scratch folder)
//
// Exits 1 when the first rows take a second or more to show, or the window holds more than kMemoryBoundMiB.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include "app/main/check_history_window.h"
#include "app/ui/store_thread.h"
#include "store/check_history.h"
#include "store/local_store.h"

namespace {

// The window may hold this much beyond the process before it opened: a few pages of rows and the table's
// bookkeeping, never the history itself.
constexpr long kMemoryBoundMiB = 64;
constexpr long kFirstPaintBoundMs = 1000;
// Checks stored one at a time; the rest are copies of them with earlier times.
constexpr int kSeedChecks = 1000;

long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

/// Fills the history with `count` checks of kSeedChecks accounts: the seeds stored as the programs store them, then
/// copied (whatever columns the table has) until there are enough.
void fillHistory(tarvisk::LocalStore& store, long count) {
    for (int i = 0; i < kSeedChecks; ++i) {
        tarvisk::ReputationFacts facts;
        facts.account = u"买家" + std::u16string(std::to_string(i).begin(), std::to_string(i).end());
        facts.registrationDate = u"2014年11月26日";
        facts.buyerCredit = i;
        facts.verdict = i % 3 == 0 ? tarvisk::Verdict::Unsafe : tarvisk::Verdict::Safe;
        tarvisk::StoreCheck(store, facts, 1700000000 + i);
    }
    store.write([count](SQLite::Database& db) {
        std::string columns;
        std::string copied;
        SQLite::Statement info(db, "PRAGMA table_info(checks)");
        while (info.executeStep()) {
            const std::string name = info.getColumn(1).getString();
            if (name == "id") {
                continue;
            }
            columns += (columns.empty() ? "" : ", ") + name;
            copied +=
                (copied.empty() ? "" : ", ") + (name == "checked_at" ? "checked_at - " + std::to_string(count) : name);
        }
        while (db.execAndGet("SELECT COUNT(*) FROM checks").getInt64() < count) {
            db.exec("INSERT INTO checks (" + columns + ") SELECT " + copied + " FROM checks");
        }
        db.exec("DELETE FROM checks WHERE id > " + std::to_string(count));
    });
}

/// Milliseconds until `view`'s rows are painted after `action`.
long paintedAfter(QTableView& view, const std::function<void()>& action) {
    struct PaintWatch : QObject {
        bool painted = false;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() != QEvent::Paint) {
                return false;
            }
            watched->event(event);
            painted = true;
            return true;
        }
    } watch;
    view.viewport()->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    action();
    while (!watch.painted && timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    view.viewport()->removeEventFilter(&watch);
    return static_cast<long>(timer.elapsed());
}

/// Runs the event loop until the table shows row `row` (its account), for at most a minute.
void waitForRow(const QTableView& table, int row) {
    QElapsedTimer timer;
    timer.start();
    while ((table.model()->rowCount() <= row || table.model()->index(row, 1).data().toString().isEmpty()) &&
           timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

} // namespace

int main(int argc, char** argv) {
    const long checks = argc > 1 ? std::atol(argv[1]) : 200000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // On a memory file system where there is one: the filling is not what is measured.
    const QString scratchBase = std::filesystem::is_directory("/dev/shm") ? QStringLiteral("/dev/shm") : QString();
    QTemporaryDir folder(scratchBase.isEmpty() ? QTemporaryDir().path()
                                               : scratchBase + QStringLiteral("/tarvisk-XXXXXX"));
    tarvisk::SetDataFolder(folder.path().toStdString());
    tarvisk::LocalStore store(tarvisk::HistoryFilePath());
    tarvisk::StoreThread storeThread(tarvisk::HistoryFilePath());
    const auto filling = std::chrono::steady_clock::now();
    fillHistory(store, checks);
    const auto filled =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - filling);
    std::printf("history: %ld checks (made in %lld ms)\n", checks, static_cast<long long>(filled.count()));

    // What the window reads first: the count, and the first page of the table.
    const auto timed = [](const std::function<void()>& work) {
        QElapsedTimer timer;
        timer.start();
        work();
        return static_cast<long>(timer.elapsed());
    };
    const long counting = timed([&] { tarvisk::CountStoredChecks(store, {}); });
    const auto page = [&](std::size_t offset) {
        tarvisk::ReadCheckRows(store, {u"", false, offset, 200}, [](tarvisk::CheckRow&&) {});
    };
    const long firstPage = timed([&] { page(0); });
    const long lastPage = timed([&] { page(static_cast<std::size_t>(checks) - 200); });
    std::printf("count: %ld ms; first page: %ld ms; last page: %ld ms\n", counting, firstPage, lastPage);

    const long before = statusKiB("VmRSS");
    tarvisk::CheckHistoryWindow* window = nullptr;
    QTableView* table = nullptr;
    const long firstPaint = [&] {
        QElapsedTimer timer;
        timer.start();
        window = new tarvisk::CheckHistoryWindow(storeThread, QString());
        table = window->findChild<QTableView*>(QStringLiteral("HistoryTable"));
        paintedAfter(*table, [window] { window->show(); });
        // The count and the first page come from the store's thread.
        waitForRow(*table, 0);
        return static_cast<long>(timer.elapsed());
    }();
    // A row the view has not come to yet: its page is read then.
    const long middleRow = timed([table] { waitForRow(*table, table->model()->rowCount() / 2); });
    const long held = (statusKiB("VmRSS") - before) / 1024;
    std::printf("first rows shown: %ld ms (bound %ld ms)\n", firstPaint, kFirstPaintBoundMs);
    std::printf("a row in the middle, its page read: %ld ms\n", middleRow);
    std::printf("memory the window holds: %ld MiB (bound %ld MiB); peak of the process %ld MiB\n", held,
                kMemoryBoundMiB, statusKiB("VmHWM") / 1024);
    delete window;
    return firstPaint < kFirstPaintBoundMs && held <= kMemoryBoundMiB ? 0 : 1;
}
