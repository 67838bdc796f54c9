#include "app/browser/demo_routing.h"

#include <string>

#include <QCryptographicHash>
#include <QList>
#include <QtGlobal>

#include "demo/demo_market.h"
#include "net/endpoints.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

namespace {

QByteArray& trusted() {
    static QByteArray sha256;
    return sha256;
}

} // namespace

QByteArray WithDemoHostRules(const QByteArray& existing, int httpPort, int httpsPort) {
    // The rule for port 443 comes first: Chromium takes the first rule that matches.
    const QByteArray rules = QStringLiteral("--host-resolver-rules=\"MAP *:443 127.0.0.1:%1, MAP * 127.0.0.1:%2\"")
                                 .arg(httpsPort)
                                 .arg(httpPort)
                                 .toUtf8();
    const QByteArray flags = existing.trimmed();
    return flags.isEmpty() ? rules : flags + ' ' + rules;
}

void RouteBrowsersToDemo(int httpPort, int httpsPort) {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            WithDemoHostRules(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), httpPort, httpsPort));
}

void RouteToDemoMarket(const demo::DemoMarket& market) {
    endpoints::SetRoute(market.hostPort(), "127.0.0.1:" + std::to_string(market.httpsPort()));
    endpoints::SetTrustedCertificate(market.certificatePem());
    RouteBrowsersToDemo(market.port(), market.httpsPort());
    TrustCertificate(PemCertificateDigest(market.certificatePem()));
}

QByteArray PemCertificateDigest(const std::string& pem) {
    // Read by hand: Qt's TLS classes may not be used before the application object exists.
    QByteArray base64;
    for (const QByteArray& line : QByteArray::fromStdString(pem).split('\n')) {
        if (!line.startsWith("-----")) {
            base64 += line.trimmed();
        }
    }
    return QCryptographicHash::hash(QByteArray::fromBase64(base64), QCryptographicHash::Sha256);
}

void TrustCertificate(const QByteArray& sha256) {
    trusted() = sha256;
}

bool IsTrustedCertificate(const QString& host, const QByteArray& sha256) {
    return !trusted().isEmpty() && sha256 == trusted() && endpoints::IsMarketplaceHost(CoreText(host));
}

} // namespace tarvisk
