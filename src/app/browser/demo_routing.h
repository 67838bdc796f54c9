#pragma once

#include <string>

#include <QByteArray>
#include <QString>

// In demo mode the embedded browsers reach the demo marketplace instead of the internet: every host name
// resolves to the local server (port 443 to its HTTPS port), while the addresses the pages use stay as they are.

namespace tarvisk {

namespace demo {
class DemoMarket;
}

/// The Chromium flags `existing` plus the host rule that sends connections to port 443 to 127.0.0.1:`httpsPort`
/// and every other connection to 127.0.0.1:`httpPort`. The rule is kept in double quotes, as Chromium reads
/// the flags split at blanks.
QByteArray WithDemoHostRules(const QByteArray& existing, int httpPort, int httpsPort);

/// Routes the browsers of this process to the demo marketplace (QTWEBENGINE_CHROMIUM_FLAGS). Chromium reads
/// its flags once: call before the QApplication exists.
void RouteBrowsersToDemo(int httpPort, int httpsPort);

/// Sends the browsers and both request routines of this process to `market`, and trusts its login host's
/// certificate. Call before the QApplication exists.
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
