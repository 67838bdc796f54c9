#pragma once

#include <memory>
#include <string>
#include <vector>

#include <openssl/types.h>

// The demo marketplace serves the login host and today's pages over HTTPS, as the real marketplace does, with a
// certificate it makes for itself at every start.

namespace tarvisk::demo {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const;
};
struct CertificateDeleter {
    void operator()(X509* certificate) const;
};

/// A private key, its self-signed certificate and the certificate in PEM form.
struct DemoCertificate {
    std::unique_ptr<EVP_PKEY, KeyDeleter> key;
    std::unique_ptr<X509, CertificateDeleter> certificate;
    std::string pem;
};

/// A self-signed certificate for `hosts` (the first one its subject, all of them its alternative names), valid
/// from a day ago for a year, made fresh so no private key is ever stored; browsers and the request routines
/// are told to trust exactly this one, for exactly these hosts. Throws std::runtime_error when OpenSSL fails.
DemoCertificate MakeDemoCertificate(const std::vector<std::string>& hosts);

} // namespace tarvisk::demo
