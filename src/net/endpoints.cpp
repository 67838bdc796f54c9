#include "net/endpoints.h"

#include <mutex>

namespace tarvisk::endpoints {

namespace {

// Front ends set these once at start, but a job on a worker thread may read them meanwhile.
struct Settings {
    std::mutex mutex;
    std::string route;
    std::string httpsRoute;
    std::string trustedCertificate;
};

Settings& settings() {
    static Settings instance;
    return instance;
}

} // namespace

void SetRoute(const std::string& hostPort, const std::string& httpsHostPort) {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    s.route = hostPort;
    s.httpsRoute = httpsHostPort;
}

std::string Route() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.route;
}

std::string HttpsRoute() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.httpsRoute;
}

void SetTrustedCertificate(const std::string& pem) {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    s.trustedCertificate = pem;
}

std::string TrustedCertificate() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.trustedCertificate;
}

} // namespace tarvisk::endpoints
