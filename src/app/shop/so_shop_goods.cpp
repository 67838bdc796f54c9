#include "app/shop/so_shop_goods.h"

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/session/ranking_session.h"
#include "app/session/unread_page_offer.h"
#include "app/ui/fetch_mode_box.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/job_progress.h"
#include "app/ui/message_box.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "app/ui/qt_text.h"
#include "app/ui/plain_text.h"
#include "jobs/ranking/stored_walk.h"
#include "store/exports.h"
#include "text/settings.h"

namespace tarvisk {

namespace {

// The shop window's address is its own, apart from the ranking window's shop box (SURL), which it shared before: it
// takes that one once, on its first start with a key of its own (marked so by kAddressMovedKey).
constexpr char16_t kAddressKey[] = u"ShopListURL";
constexpr char16_t kAddressMovedKey[] = u"ShopListURLMoved";

QString storedAddress() {
    if (ReadSetting(kAddressMovedKey) != u"1") {
        WriteSetting(kAddressKey, ReadSetting(kShopAddressKey));
        WriteSetting(kAddressMovedKey, u"1");
    }
    return QtText(ReadSetting(kAddressKey));
}

// Label3's place in the layout, how far right it may grow for a longer status (up to Label2's left edge), and the
// room a status of two lines has: from below the result text down to a margin above the window's bottom edge.
constexpr int kLabel3TopTwips = 5880;
constexpr int kLabel3WidthTwips = 1935;
constexpr int kLabel3HeightTwips = 255;
constexpr int kLabel3RightLimitTwips = 6240 - 60;
constexpr int kStatusRoomTopTwips = 840 + 4935 + 15;
constexpr int kStatusRoomBottomTwips = 6525 - 90;

/// The id list and the title list show one item per row: they scroll and select together, the ids' own
/// scroll bar left out (the titles' serves both), so an id never stands beside another item's title.
void moveTogether(QListWidget& ids, QListWidget& titles) {
    ids.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ids.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QListWidget* list : {&ids, &titles}) {
        list->setUniformItemSizes(true);
        list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    }
    // Scrolled a row at a time, a list's scroll value is its top row; the other list puts the same row on top
    // (laying out its rows first, should it be behind).
    const auto follow = [](QListWidget& follower) {
        return [&follower](int topRow) {
            if (QListWidgetItem* item = follower.item(topRow)) {
                follower.scrollToItem(item, QAbstractItemView::PositionAtTop);
            }
        };
    };
    QObject::connect(titles.verticalScrollBar(), &QScrollBar::valueChanged, &ids, follow(ids));
    QObject::connect(ids.verticalScrollBar(), &QScrollBar::valueChanged, &titles, follow(titles));
    QObject::connect(&ids, &QListWidget::currentRowChanged, &titles, qOverload<int>(&QListWidget::setCurrentRow));
    QObject::connect(&titles, &QListWidget::currentRowChanged, &ids, qOverload<int>(&QListWidget::setCurrentRow));
    // A long title gives the titles a horizontal scroll bar; the ids get one too, so both show as many rows.
    QObject::connect(titles.horizontalScrollBar(), &QScrollBar::rangeChanged, &ids, [&ids](int, int maximum) {
        ids.setHorizontalScrollBarPolicy(maximum > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    });
}

} // namespace

SoShopGoods::SoShopGoods(RankingSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), m_label1(new QLabel(QStringLiteral("C店地址："), this)), m_surl(new QLineEdit(this)),
      m_command1(new QPushButton(QStringLiteral("查询"), this)), m_text1(new QPlainTextEdit(this)),
      m_label2(new QLabel(QStringLiteral("双击我复制信息"), this)), m_label3(new QLabel(this)),
      m_list1(new QListWidget(this)), m_list2(new QListWidget(this)), m_progress(new JobProgress(this)),
      m_label4(new QLabel(QStringLiteral("读取方式："), this)), m_fetchMode(new QComboBox(this)), m_session(session) {
    setObjectName(QStringLiteral("SoShopGoods"));
    setWindowTitle(QStringLiteral("查询淘宝店铺宝贝"));
    setFont(WindowFont(9));
    SetClientTwips(*this, 9600, 6525);

    const ControlPlace layout[] = {
        {m_label1, "Label1", 240, 360, 1455, 495, 0},
        {m_surl, "SURL", 1560, 240, 6855, 375, 1},
        {m_command1, "Command1", 8520, 240, 855, 375, 2},
        {m_text1, "Text1", 1560, 840, 6855, 4935, 3},
        {m_label2, "Label2", 6240, 5880, 2055, 375, 4},
        {m_label3, "Label3", 1560, 5880, 1935, 255, 5},
        {m_list1, "List1", 1560, 840, 1455, 4920, 6},
        {m_list2, "List2", 3000, 840, 5415, 4920, 7},
        // 读取方式 in the free column below the address's caption.
        {m_label4, "Label4", 240, 960, 1215, 255, -1},
        {m_fetchMode, "FetchMode", 120, 1260, 1395, 330, 8},
    };
    LayOutControls(layout);
    // The progress strip covers the status line while a crawl runs.
    PlaceTwips(*m_progress, 1560, 5820, 4560, 435);

    m_label1->setFont(WindowFont(12, true));
    m_label2->setFont(WindowFont(10.5));
    m_label3->setFont(WindowFont(12));
    m_label3->setTextFormat(Qt::PlainText);
    m_label2->setCursor(Qt::PointingHandCursor);
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The id and title lists lie over the result text, in front of it.
    m_list1->raise();
    m_list2->raise();
    moveTogether(*m_list1, *m_list2);
    // One 读取方式 for every job of the session: a choice here is the ranking window's too.
    FillFetchModeBox(*m_fetchMode);
    ShowFetchMode(*m_fetchMode, m_session.fetchMode());
    connect(m_fetchMode, &QComboBox::currentIndexChanged, this,
            [this] { m_session.setFetchMode(FetchModeShown(*m_fetchMode)); });
    connect(&m_session, &RankingSession::fetchModeChanged, this,
            [this](FetchMode mode) { ShowFetchMode(*m_fetchMode, mode); });
    // Whichever window asked for it, a crawl fills these lists; the one-item target has no use for them in view.
    connect(&m_session, &RankingSession::crawlStarted, this, &SoShopGoods::showCrawlStarted);
    connect(&m_session, &RankingSession::crawlProgress, m_progress, &JobProgress::setPage);
    connect(&m_session, &RankingSession::itemListed, this, [this](const QString& id, const QString& title) {
        m_list1->addItem(id);
        m_list2->addItem(title);
    });
    connect(&m_session, &RankingSession::crawlFinished, this, &SoShopGoods::showCrawlFinished);
    connect(&m_session, &RankingSession::jobChanged, this, [this] { m_command1->setEnabled(!m_session.isBusy()); });
    connect(&m_session, &RankingSession::targetKindChanged, this, [this](RankingTarget target) {
        if (target == RankingTarget::OneItem) {
            hide();
        }
    });

    connect(m_surl, &QLineEdit::textChanged, this, &SoShopGoods::SURL_Change);
    // Enter in the address reads the shop.
    connect(m_surl, &QLineEdit::returnPressed, this, &SoShopGoods::Command1_Click);
    connect(m_command1, &QPushButton::clicked, this, &SoShopGoods::Command1_Click);
    connect(m_progress, &JobProgress::cancelRequested, this, &SoShopGoods::cancelCrawl);
    OnDoubleClick(*m_surl, [this] { SURL_DblClick(); });
    OnDoubleClick(*m_text1->viewport(), [this] { Text1_DblClick(); });
    OnClick(*m_label2, [this] { Label2_Click(); });
    for (QListWidget* list : {m_list1, m_list2}) {
        AddCsvExportAction(
            *list, QStringLiteral("店铺宝贝.csv"), [this] { return ShopListingCsv(listedItems()); },
            [this] { return m_list1->count(); });
    }
    PressButtonsOnEnter(*this);

    Form_Load();
    // Made after a crawl, or during one: it shows what the session holds.
    if (m_session.shopListing()) {
        showListing();
    }
    if (m_session.isBusy()) {
        m_command1->setEnabled(false);
    }
}

SoShopGoods::~SoShopGoods() = default;

bool SoShopGoods::isCrawling() const {
    return m_session.runningJob() == RankingJob::ShopCrawl;
}

QStringList SoShopGoods::itemIds() const {
    QStringList ids;
    for (const ShopItem& item : listedItems()) {
        ids.append(QtText(item.id));
    }
    return ids;
}

std::vector<ShopItem> SoShopGoods::listedItems() const {
    const std::optional<ShopListing>& listing = m_session.shopListing();
    return listing ? listing->crawl.items : std::vector<ShopItem>{};
}

bool SoShopGoods::listComplete() const {
    const std::optional<ShopListing>& listing = m_session.shopListing();
    return !listing || listing->complete();
}

QString SoShopGoods::listedAddress() const {
    const std::optional<ShopListing>& listing = m_session.shopListing();
    return listing ? listing->address : QString();
}

std::optional<UnreadPage> SoShopGoods::unreadPage() const {
    const std::optional<ShopListing>& listing = m_session.shopListing();
    return listing ? listing->crawl.unreadPage : std::nullopt;
}

void SoShopGoods::setShopAddress(const QString& address) {
    m_surl->setText(address);
}

QString SoShopGoods::shopAddress() const {
    return m_surl->text();
}

void SoShopGoods::Form_Load() {
    CenterForm(*this);
    m_surl->setText(storedAddress());
}

void SoShopGoods::Command1_Click() {
    if (m_session.isBusy()) {
        showStatus(m_session.busyText());
        return;
    }
    // The address stays in the field as typed; the crawl reads its normalised form.
    m_session.crawlShop(*this, m_surl->text(), {}, [this] { tellUnreadPage(); });
}

void SoShopGoods::showCrawlStarted(const QString& address) {
    if (address != m_surl->text()) {
        m_surl->setText(address);
    }
    m_list1->clear();
    m_list2->clear();
    m_text1->clear();
    showStatus({});
    m_progress->begin();
}

void SoShopGoods::showListing() {
    const ShopCrawlResult& crawl = m_session.shopListing()->crawl;
    // Lists that missed items (made during the crawl) show the listing whole.
    if (m_list1->count() != static_cast<int>(crawl.items.size())) {
        m_list1->clear();
        m_list2->clear();
        for (const ShopItem& item : crawl.items) {
            m_list1->addItem(QtText(item.id));
            m_list2->addItem(QtText(item.title));
        }
    }
    showStatus(QtText(crawl.status));
    m_text1->setPlainText(QtText(crawl.text));
}

void SoShopGoods::showCrawlFinished() {
    const ShopCrawlResult& crawl = m_session.shopListing()->crawl;
    showListing();
    m_progress->end();
    emit crawlFinished(crawl.count(), crawl.cancelled);
}

void SoShopGoods::tellUnreadPage() {
    const std::optional<UnreadPage> unread = unreadPage();
    if (unread && OfferUnreadPageHelp(this, m_session, unreadMessage(), unread->kind, QtText(unread->address))) {
        QTimer::singleShot(0, this, &SoShopGoods::Command1_Click);
    }
}

QString SoShopGoods::unreadMessage() const {
    const std::optional<ShopListing>& listing = m_session.shopListing();
    return listing ? QtText(ShopUnreadMessage(listing->crawl)) : QString();
}

void SoShopGoods::showStatus(const QString& status) {
    m_label3->setText(status);
    // One line as wide as it needs, up to Label2; a longer status (one that says why the listing is partial) wraps,
    // a size smaller, in the room below the result text.
    const int widest = kLabel3RightLimitTwips / kTwipsPerPixel - m_label3->x();
    m_label3->setWordWrap(false);
    m_label3->setFont(WindowFont(12));
    if (m_label3->sizeHint().width() <= widest) {
        m_label3->setGeometry(m_label3->x(), kLabel3TopTwips / kTwipsPerPixel,
                              std::max(m_label3->sizeHint().width(), kLabel3WidthTwips / kTwipsPerPixel),
                              kLabel3HeightTwips / kTwipsPerPixel);
        return;
    }
    m_label3->setWordWrap(true);
    m_label3->setFont(WindowFont(10.5));
    const int bottom = kStatusRoomBottomTwips / kTwipsPerPixel;
    const int height = std::min(m_label3->heightForWidth(widest), bottom - kStatusRoomTopTwips / kTwipsPerPixel);
    m_label3->setGeometry(m_label3->x(), bottom - height, widest, height);
}

void SoShopGoods::cancelCrawl() {
    if (isCrawling()) {
        m_session.cancel();
    }
}

void SoShopGoods::SURL_Change() {
    WriteControlSetting(*m_surl, QtText(kAddressKey));
}

void SoShopGoods::SURL_DblClick() {
    SelectAllText(*m_surl);
}

void SoShopGoods::Text1_DblClick() {
    SelectAllText(*m_text1);
}

void SoShopGoods::Label2_Click() {
    // The copy is the last crawl's result text, its lines ended with CR LF.
    const std::optional<ShopListing>& listing = m_session.shopListing();
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(listing ? QtText(listing->crawl.text) : QString());
    // A partial listing says so with the copy: the status line of a crawl stopped by the user does not.
    QString note = m_label3->text();
    if (listing && listing->crawl.cancelled) {
        note += QStringLiteral("，店铺宝贝列表不完整");
    }
    ShowMessageBox(this, listComplete() ? QStringLiteral("复制成功") : QStringLiteral("复制成功\n\n") + note);
}

void SoShopGoods::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

} // namespace tarvisk
