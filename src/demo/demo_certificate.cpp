#include "demo/demo_certificate.h"

#include <stdexcept>
#include <utility>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tarvisk::demo {

void KeyDeleter::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}

void CertificateDeleter::operator()(X509* certificate) const {
    X509_free(certificate);
}

namespace {

struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

void require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("demo marketplace certificate: ") + what);
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    require(extension != nullptr, "extension");
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    require(added, "extension");
}

std::string pemOf(X509* certificate) {
    std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
    require(bio != nullptr && PEM_write_bio_X509(bio.get(), certificate) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

} // namespace

DemoCertificate MakeDemoCertificate(const std::vector<std::string>& hosts) {
    require(!hosts.empty(), "host");
    std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_EC_gen("P-256"));
    require(key != nullptr, "key");
    std::unique_ptr<X509, CertificateDeleter> certificate(X509_new());
    require(certificate != nullptr, "new");
    X509* cert = certificate.get();
    require(X509_set_version(cert, 2) == 1, "version");
    unsigned char serial[8];
    require(RAND_bytes(serial, sizeof serial) == 1, "serial");
    serial[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    require(number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert)) != nullptr, "serial");
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(cert), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 365L * 24 * 3600);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Tarvisk demo marketplace"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(hosts.front().c_str()),
                               -1, -1, 0);
    require(X509_set_issuer_name(cert, name) == 1, "issuer");
    require(X509_set_pubkey(cert, key.get()) == 1, "public key");
    addExtension(cert, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, NID_key_usage, "critical,digitalSignature");
    addExtension(cert, NID_ext_key_usage, "serverAuth");
    addExtension(cert, NID_subject_key_identifier, "hash");
    std::string names;
    for (const std::string& name : hosts) {
        names += (names.empty() ? "DNS:" : ",DNS:") + name;
    }
    addExtension(cert, NID_subject_alt_name, names.c_str());
    require(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signature");
    std::string pem = pemOf(cert);
    return {std::move(key), std::move(certificate), std::move(pem)};
}

} // namespace tarvisk::demo
