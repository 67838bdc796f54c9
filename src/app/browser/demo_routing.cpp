#include "app/browser/demo_routing.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <QCryptographicHash>
#include <QList>
#include <QSslCertificate>
#include <QStringList>
#include <QtGlobal>

#include "demo/demo_market.h"
#include "net/endpoints.h"

namespace tarvisk {

namespace {

struct TrustedCertificate {
    std::string pem;
    QByteArray sha256;
    /// The hosts it names, read when first asked: Qt's TLS classes need the application object.
    std::optional<QStringList> names;
};

std::vector<TrustedCertificate>& trusted() {
    static std::vector<TrustedCertificate> certificates;
    return certificates;
}

const QStringList& namesOf(TrustedCertificate& certificate) {
    if (!certificate.names) {
        certificate.names.emplace();
        const QList<QSslCertificate> read = QSslCertificate::fromData(QByteArray::fromStdString(certificate.pem));
        if (!read.isEmpty()) {
            for (const QString& name : read.first().subjectAlternativeNames().values(QSsl::DnsEntry)) {
                certificate.names->append(name.toLower());
            }
        }
    }
    return *certificate.names;
}

/// True when the certificate name `name` covers `host` (both lower case): equal, or "*.rest" for one label more.
bool nameCovers(const QString& name, const QString& host) {
    if (!name.startsWith(QStringLiteral("*."))) {
        return name == host;
    }
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    return dot > 0 && host.mid(dot + 1) == name.mid(2);
}

} // namespace

QByteArray WithHostRules(const QByteArray& existing, const QString& route, const QString& httpsRoute) {
    // The rule for port 443 comes first: Chromium takes the first rule that matches.
    const QString map = httpsRoute.isEmpty() ? QStringLiteral("MAP * %1").arg(route)
                                             : QStringLiteral("MAP *:443 %1, MAP * %2").arg(httpsRoute, route);
    const QByteArray rules = QStringLiteral("--host-resolver-rules=\"%1\"").arg(map).toUtf8();
    const QByteArray flags = existing.trimmed();
    return flags.isEmpty() ? rules : flags + ' ' + rules;
}

QByteArray WithDemoHostRules(const QByteArray& existing, int httpPort, int httpsPort) {
    return WithHostRules(existing, QStringLiteral("127.0.0.1:%1").arg(httpPort),
                         QStringLiteral("127.0.0.1:%1").arg(httpsPort));
}

void RouteBrowsers(const QString& route, const QString& httpsRoute) {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", WithHostRules(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), route, httpsRoute));
}

void QuietBrowserLog() {
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags.trimmed() + " --log-level=3").trimmed());
    }
}

void RouteToDemoMarket(const demo::DemoMarket& market) {
    endpoints::SetRoute(market.hostPort(), "127.0.0.1:" + std::to_string(market.httpsPort()));
    endpoints::SetTrustedCertificate(market.certificatePem());
    RouteBrowsers(QString::fromStdString(market.hostPort()), QStringLiteral("127.0.0.1:%1").arg(market.httpsPort()));
    TrustCertificate(market.certificatePem());
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

void TrustCertificate(const std::string& pem) {
    trusted().push_back({pem, PemCertificateDigest(pem), std::nullopt});
}

bool IsTrustedCertificate(const QString& host, const QByteArray& sha256) {
    const QString lowered = host.toLower();
    for (TrustedCertificate& certificate : trusted()) {
        if (sha256.isEmpty() || sha256 != certificate.sha256) {
            continue;
        }
        const QStringList& names = namesOf(certificate);
        if (std::ranges::any_of(names, [&lowered](const QString& name) { return nameCovers(name, lowered); })) {
            return true;
        }
    }
    return false;
}

} // namespace tarvisk
