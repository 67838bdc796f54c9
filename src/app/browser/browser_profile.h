#pragma once

#include <QByteArray>
#include <QString>

class QWebEngineProfile;

namespace tarvisk {

/// The profile every embedded browser of the program shares. By default it is persistent: a named profile
/// stored in the per-user data folder (readable by the user only), with every cookie kept on disk, so a login
/// made in the login browser survives a restart. Its cookie store is kept in step with the store the request
/// routines use. Created on first use; needs a QApplication.
QWebEngineProfile* BrowserProfile();

/// Chooses an off-the-record profile (demo mode, tests). Takes effect when called before the first
/// BrowserProfile().
void UseOffTheRecordProfile(bool offTheRecord);

/// Accepts the certificate of `host` with this SHA-256 digest (of its DER form) although no authority vouches
/// for it: the demo marketplace's login host. Every other certificate error is refused.
void TrustCertificate(const QString& host, const QByteArray& sha256);
/// True when a certificate presented by `host` with this digest was trusted by TrustCertificate.
bool IsTrustedCertificate(const QString& host, const QByteArray& sha256);

} // namespace tarvisk
