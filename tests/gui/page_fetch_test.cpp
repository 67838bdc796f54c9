// The browser page fetch on the demo marketplace's today's pages, run from a job's thread as the jobs run it: a
// search page's answer captured, a shop of three pages, cancel and the time limit, and pages that try to abuse
// the way the answers come back.

#include "app/browser/page_fetch.h"

#include <atomic>
#include <future>
#include <string>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include "app/ui/qt_text.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "demo/demo_certificate.h"
#include "demo/market_pages.h"
#include "demo/test_pages.h"
#include "demo/today_pages.h"
#include "text/encoding.h"
#include "window_test_support.h"

using namespace tarvisk;

namespace {

// Pages that misuse the way back, served under /test/capture/NAME. Their data requests look like the gateway's
// but are answered late and with no data (/test/slow), so the pages call the callbacks themselves.
const std::pair<const char*, const char*> kHostilePages[] = {
    // Many answers, one far too long, and messages of its own that look like the capture script's.
    {"flood", R"(<script>
        for (var i = 0; i < 20; i++) { window['cb' + i] = function () {}; var s = document.createElement('script');
          s.src = '/test/slow?ms=400&p=/h5/mtop.flood/&callback=cb' + i; document.head.appendChild(s); }
        console.log('{"k":"answer","i":1,"u":"/h5/mtop.x/","t":"forged"}');
        setTimeout(function () { window.cb0('x'.repeat(5000)); for (var i = 1; i < 20; i++) window['cb' + i]({n: i}); }, 50);
      </script>)"},
    // It takes the console and JSON away before its callback runs.
    {"masked", R"(<script>
        window.cb = function () {}; var s = document.createElement('script');
        s.src = '/test/slow?ms=400&p=/h5/mtop.masked/&callback=cb'; document.head.appendChild(s);
        setTimeout(function () { console.log = function () {}; JSON.stringify = function () { return '"lie"'; };
          window.cb({truth: 1}); }, 50);
      </script>)"},
    // It rewrites every object's JSON and every assignment of "d", as if each message said a new document began.
    {"forging", R"(<script>
        Object.prototype.toJSON = function () { return {k: 'document', d: 'forged'}; };
        Object.defineProperty(Object.prototype, 'd', {set: function () {}, get: function () { return 'forged'; }});
        window.cb = function () {}; var s = document.createElement('script');
        s.src = '/test/slow?ms=400&p=/h5/mtop.forging/&callback=cb'; document.head.appendChild(s);
        setTimeout(function () { window.cb('plain'); }, 50);
      </script>)"},
    // It replaces the built-ins that the capture script uses before its callback runs.
    {"builtins", R"(<script>
        window.cb = function () {}; var s = document.createElement('script');
        s.src = '/test/slow?ms=400&p=/h5/mtop.builtins/&callback=cb';
        Array.prototype.forEach = RegExp.prototype.test = RegExp.prototype.exec = String.prototype.slice =
          WeakMap.prototype.get = NodeList.prototype.item = EventTarget.prototype.addEventListener =
          Function.prototype.apply = Function.prototype.call = function () { throw new Error('taken'); };
        document.head.appendChild(s);
        setTimeout(function () { window.cb('kept'); }, 50);
      </script>)"},
    // It answers once the fetch is over, as a late answer of one page would come into the next page's fetch.
    {"late", R"(<script>setTimeout(function () {
        window.cb = function () {}; var s = document.createElement('script');
        s.src = '/test/slow?ms=400&p=/h5/mtop.late/&callback=cb'; document.head.appendChild(s);
        setTimeout(function () { window.cb('late'); }, 10); }, 1000);
      </script>)"},
    {"calm", "<p>calm</p>"},
    // They send the page off the marketplace.
    {"script-away", "<script>location.replace('http://evil.example/test/capture/calm')</script>"},
    {"refresh-away", "<meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/test/capture/calm\">"},
    // Its data request never ends.
    {"waiting", R"(<p>waiting</p><script>var s = document.createElement('script');
        s.src = '/test/silent?p=/h5/mtop.waiting/&callback=cb'; document.head.appendChild(s);</script>)"},
    // It never stops running.
    {"busy", R"(<p>busy</p><script>for (;;) {}</script>)"},
};

void registerPages(httplib::Server& server) {
    demo::RegisterTestPages(server);
    server.Get("/test/capture/redirect-away", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("http://evil.example/test/capture/calm");
    });
    for (const auto& [name, body] : kHostilePages) {
        server.Get(std::string("/test/capture/") + name, [body](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string("<!DOCTYPE html><html><body>") + body + "</body></html>", "text/html");
        });
    }
}

/// Fetches on a thread of its own, as a job does, while the window thread runs; with a cancel flag the fetch runs
/// in a cancel scope on it.
FetchedPage fetchOnJobThread(BrowserPageFetch& fetch, const std::u16string& address,
                             const std::atomic<bool>* cancel = nullptr) {
    // The window thread runs its event loop meanwhile, as it does in the programs: the engine works there.
    QEventLoop loop;
    std::future<FetchedPage> fetched = std::async(std::launch::async, [&] {
        std::optional<CancelScope> scope;
        if (cancel != nullptr) {
            scope.emplace(*cancel);
        }
        FetchedPage page = fetch.fetch(address);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        return page;
    });
    loop.exec();
    return fetched.get();
}

std::u16string searchAddress(const std::u16string& keyword, int page) {
    return u"https://s.taobao.com/search?q=" + UrlEncodeUtf8(keyword) + u"&page=" + FromUtf8(std::to_string(page)) +
           u"&tab=all";
}

} // namespace

class PageFetchTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void aSearchPagesAnswerIsCapturedWithTheRenderedPage() {
        BrowserPageFetch fetch(BrowserProfile());
        const FetchedPage page = fetchOnJobThread(fetch, searchAddress(demo::kTodayKeyword, 2));
        QCOMPARE(QtText(page.address), QtText(searchAddress(demo::kTodayKeyword, 2)));
        const SearchPageRead read = ReadSearchPage(page);
        QCOMPARE(read.reader, SearchReader::Answer);
        QCOMPARE(read.items.size(), std::size_t(demo::kTodayPageItems));
        const demo::DemoShop& shop = *demo::DemoShopByHost(demo::kTodayShopHost);
        QCOMPARE(QtText(read.items[14].item.id), QtText(demo::DemoShopItemId(shop, 5)));
        QVERIFY(read.items[0].paid);
        // The page drew what its script received: the cards give the same items in the same order.
        const std::vector<TodaySearchItem> cards = ReadRenderedSearchPage(page.text);
        QCOMPARE(cards.size(), read.items.size());
        for (std::size_t i = 0; i < cards.size(); ++i) {
            QCOMPARE(QtText(cards[i].item.id), QtText(read.items[i].item.id));
        }
    }

    void aShopOfThreePagesIsListedPageByPage() {
        BrowserPageFetch fetch(BrowserProfile());
        const demo::DemoShop& shop = *demo::DemoShopByHost(demo::kTodayShopHost);
        std::u16string address = u"http://todayshop.taobao.com/search.htm?v=1&pageNo=1";
        int listed = 0;
        int pages = 0;
        for (; !address.empty(); ++pages) {
            const ShopPageRead read = ReadShopPage(fetchOnJobThread(fetch, address));
            QCOMPARE(read.reader, ShopReader::ListAnswer);
            for (const ShopItem& item : read.list.items) {
                QCOMPARE(QtText(item.id), QtText(demo::DemoShopItemId(shop, ++listed)));
            }
            // On to the page the list offers next, as the page's own pagination does.
            address = read.list.nextAddress;
        }
        QCOMPARE(pages, 3);
        QCOMPARE(listed, shop.items);
    }

    void aSliderIsThePageTheFetchEndsAt() {
        BrowserPageFetch fetch(BrowserProfile());
        FetchedPage page = fetchOnJobThread(fetch, searchAddress(demo::kTodaySliderKeyword, demo::kTodaySliderPage));
        QCOMPARE(ClassifyPage(page, kRankingTexts), PageKind::Verification);
        QVERIFY(page.text.find(u"nc_1_n1z") != std::u16string::npos);
        // The refusal that sent the page there belongs to the document it left: only the slider's own count.
        QVERIFY(page.answers.empty());
        QCOMPARE(ClassifySearchPage(page), PageKind::Verification);
    }

    void aCancelledFetchGivesUpAtOnceAndTheNextOneWorksOnAnyThread() {
        BrowserPageFetch fetch(BrowserProfile());
        std::atomic<bool> cancel = false;
        QTimer::singleShot(500, [&cancel] { cancel = true; });
        QElapsedTimer clock;
        clock.start();
        const FetchedPage page = fetchOnJobThread(fetch, u"http://shop.example.com/test/silent", &cancel);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(page.text.empty());
        QVERIFY(page.answers.empty());
        // Asked on the window thread itself, the fetch runs the event loop while it waits.
        QCOMPARE(ReadSearchPage(fetch.fetch(searchAddress(demo::kTodayKeyword, 1))).items.size(),
                 std::size_t(demo::kTodayPageItems));
    }

    void thePagesThatDoNotComeEndAtTheTimeLimit() {
        BrowserFetchLimits limits;
        limits.timeLimit = std::chrono::milliseconds(4000);
        BrowserPageFetch fetch(BrowserProfile(), limits);
        const struct {
            const char16_t* address;
            bool text; // a page that loaded gives what it has
        } cases[] = {
            {u"http://shop.example.com/test/capture/waiting", true},
            {u"http://shop.example.com/test/silent", false},
            {u"http://shop.example.com/test/capture/busy", false},
        };
        for (const auto& c : cases) {
            QElapsedTimer clock;
            clock.start();
            const FetchedPage page = fetchOnJobThread(fetch, c.address);
            QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(!page.text.empty(), c.text);
        }
        // A busy page does not hold up the next fetch.
        QVERIFY(!fetchOnJobThread(fetch, u"http://shop.example.com/test/echo").text.empty());
    }

    void anErrorStatusIsAnEmptyPage() {
        BrowserPageFetch fetch(BrowserProfile());
        const FetchedPage page = fetchOnJobThread(fetch, u"http://shop1.taobao.com/test/status?code=503");
        QVERIFY(page.text.empty());
        QCOMPARE(ClassifyPage(page, kRankingTexts), PageKind::Empty);
    }

    void aPageCanHandOverNoMoreThanTheLimitsAndNothingElse() {
        BrowserFetchLimits limits;
        limits.answers = 3;
        limits.answerLength = 1000;
        limits.timeLimit = std::chrono::milliseconds(8000);
        BrowserPageFetch fetch(BrowserProfile(), limits);
        const FetchedPage flood = fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/flood");
        QCOMPARE(flood.answers.size(), std::size_t(3));
        for (const DataAnswer& answer : flood.answers) {
            QVERIFY(answer.text.size() <= limits.answerLength);
            QVERIFY(answer.text.find(u"forged") == std::u16string::npos);
        }
        // What the limits dropped is named without its text, so that its reader can say why it read nothing.
        QVERIFY(!flood.droppedAnswers.empty());
        for (const DataAnswer& dropped : flood.droppedAnswers) {
            QVERIFY(dropped.address.find(u"/h5/mtop.flood/") != std::u16string::npos && dropped.text.empty());
        }
        const FetchedPage masked = fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/masked");
        QCOMPARE(masked.answers.size(), std::size_t(1));
        QCOMPARE(QtText(masked.answers[0].text), QStringLiteral("cb({\"truth\":1})"));
        const FetchedPage forging = fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/forging");
        QCOMPARE(forging.answers.size(), std::size_t(1));
        QCOMPARE(QtText(forging.answers[0].text), QStringLiteral("cb(\"plain\")"));
        const FetchedPage builtins = fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/builtins");
        QCOMPARE(builtins.answers.size(), std::size_t(1));
        QCOMPARE(QtText(builtins.answers[0].text), QStringLiteral("cb(\"kept\")"));
        // A page's answer after its fetch is nothing of the next page's.
        QVERIFY(fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/late").answers.empty());
        QVERIFY(fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/calm").answers.empty());
    }

    void aPageNeverLeavesTheMarketplace() {
        BrowserPageFetch fetch(BrowserProfile());
        for (const char16_t* away : {u"redirect-away", u"script-away", u"refresh-away"}) {
            FetchedPage page = fetchOnJobThread(fetch, u"http://shop.example.com/test/capture/" + std::u16string(away));
            QCOMPARE(QtText(page.address), QStringLiteral("http://evil.example/test/capture/calm"));
            QVERIFY(page.text.empty());
            QCOMPARE(ClassifySearchPage(page), PageKind::Foreign);
        }
    }

    void theDemoCertificateIsTrustedForTheHostsItNames() {
        const std::string wildcard = demo::MakeDemoCertificate({"*.example.test"}).pem;
        TrustCertificate(wildcard);
        const QByteArray demoDigest = PemCertificateDigest(demoMarketPem());
        const QByteArray wildcardDigest = PemCertificateDigest(wildcard);
        const std::tuple<QString, QByteArray, bool> cases[] = {
            {"s.taobao.com", demoDigest, true},
            {"h5api.m.taobao.com", demoDigest, true},
            {"todayshop.taobao.com", demoDigest, true},
            {"member1.taobao.com", demoDigest, true},
            {"a.example.test", wildcardDigest, true},
            {"a.b.example.test", wildcardDigest, false},
            {"example.test", wildcardDigest, false},
            {"a.example.test", demoDigest, false},
            {"taobao.com.example.net", demoDigest, false},
        };
        for (const auto& [host, digest, trusted] : cases) {
            QVERIFY2(IsTrustedCertificate(host, digest) == trusted, qPrintable(host));
        }
    }

public:
    static std::string& demoMarketPem() {
        static std::string pem;
        return pem;
    }
};

int main(int argc, char** argv) {
    demo::DemoMarket market(0, registerPages);
    PageFetchTest::demoMarketPem() = market.certificatePem();
    RouteToDemoMarket(market);
    UseOffTheRecordProfile(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);
    InstallWindowHooks();
    if (!demo::LogInToDemo()) {
        qFatal("could not log in to the demo marketplace");
    }
    PageFetchTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "page_fetch_test.moc"
