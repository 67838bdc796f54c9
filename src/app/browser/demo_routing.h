#pragma once

#include <string>

#include <QByteArray>
#include <QString>

// In demo mode (and in tests, with --route) the embedded browsers reach a local marketplace instead of the
// internet: every host name resolves to the local server (port 443 to its HTTPS port), while the addresses the
// pages use stay as they are.

namespace tarvisk {

namespace demo {
class DemoMarket;
}

/// The Chromium flags `existing` plus the host rule that sends connections to port 443 to `httpsRoute` (when
/// given) and every other connection to `route` ("HOST:PORT"). The rule is kept in double quotes, as Chromium
/// reads the flags split at blanks.
QByteArray WithHostRules(const QByteArray& existing, const QString& route, const QString& httpsRoute = {});
/// The same for the demo marketplace's ports on 127.0.0.1.
QByteArray WithDemoHostRules(const QByteArray& existing, int httpPort, int httpsPort);

/// Routes the browsers of this process as WithHostRules says (QTWEBENGINE_CHROMIUM_FLAGS). Chromium reads its
/// flags once: call before the QApplication exists.
void RouteBrowsers(const QString& route, const QString& httpsRoute = {});

/// The engine writes its errors to the terminal (a page it cannot load, a certificate the program trusts all the
/// same): only fatal ones are printed, unless the user's own flags choose a log level. Call before the
/// QApplication exists.
void QuietBrowserLog();

/// Sends the browsers and both request routines of this process to `market`, and trusts its certificate for the
/// hosts it names. Call before the QApplication exists.
void RouteToDemoMarket(const demo::DemoMarket& market);

/// The SHA-256 digest of the DER form of the first certificate in `pem`.
QByteArray PemCertificateDigest(const std::string& pem);

/// Accepts this certificate (PEM, the first in the text) although no authority vouches for it, for the hosts it
/// names as its alternative names ("*." standing for one label): the demo marketplace's certificate, or one a
/// test gives with --trust-certificate. Every other certificate error is refused. Callable before the
/// application exists.
void TrustCertificate(const std::string& pem);
/// True when a certificate presented by `host` with this SHA-256 digest (of its DER form) was trusted by
/// TrustCertificate for that host.
bool IsTrustedCertificate(const QString& host, const QByteArray& sha256);

} // namespace tarvisk
