#include "jobs/reputation/login_keeper.h"

#include "core/cancel.h"
#include "net/endpoints.h"
#include "net/xml_http.h"
#include "text/numbers.h"

namespace tarvisk {

std::u16string KeepAliveUrl() {
    return u"http://" + std::u16string(endpoints::kMemberHomeHost) + u"/my_taobao.htm";
}

LoginKeeper::LoginKeeper(PageFetch fetch) : m_fetch(std::move(fetch)) {
    if (!m_fetch) {
        m_fetch = [](const std::u16string& url, const std::u16string& body) { return XmlHttpRequest(url, body, 0, 0); };
    }
}

bool LoginKeeper::tick(bool keepLogin) {
    if (!keepLogin || m_cancel || m_waiting.exchange(true)) {
        return false;
    }
    struct WaitingReset {
        std::atomic<bool>& waiting;
        ~WaitingReset() { waiting = false; }
    } reset{m_waiting};
    // The request waits without a time limit; closing the window must still be able to end it.
    CancelScope scope(m_cancel);
    m_fetch(KeepAliveUrl(), u"_=" + RandomField());
    return true;
}

} // namespace tarvisk
