#pragma once

#include <atomic>
#include <functional>
#include <string>

// The marketplace ends a login after a while without requests. While the user keeps the login, the main
// window's timer asks for the member's own home page once a minute, with the login browser's cookies, and
// throws the answer away.

namespace tarvisk {

/// The address the keep-alive requests: the member home page.
std::u16string KeepAliveUrl();

class LoginKeeper {
public:
    /// Sends one form POST and returns the answer (by default XmlHttpRequest, which carries the browser's
    /// cookies and lets window events run while it waits).
    using PageFetch = std::function<std::u16string(const std::u16string& url, const std::u16string& body)>;

    explicit LoginKeeper(PageFetch fetch = {});

    /// One tick of the timer: requests the member home page with the body "_=" + a random field when
    /// `keepLogin` is set. A tick that comes while the previous keep-alive request still waits is skipped, so
    /// a slow marketplace never piles up requests. True when a request was made.
    bool tick(bool keepLogin);
    /// True while a keep-alive request waits for its answer.
    bool waiting() const { return m_waiting.load(); }
    /// Gives up the waiting request (the window is closing).
    void cancel() { m_cancel = true; }

private:
    PageFetch m_fetch;
    std::atomic<bool> m_waiting{false};
    std::atomic<bool> m_cancel{false};
};

} // namespace tarvisk
