#include "demo/demo_market.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include <sys/socket.h>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "demo/demo_pages.h"
#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::demo {

namespace {

constexpr char kLoopback[] = "127.0.0.1";
// Enough workers that a few held-back answers (slow and silent test pages) never starve the
// pages a job is waiting for.
constexpr std::size_t kWorkers = 16;
// How long the constructor waits for a server thread to begin accepting.
constexpr auto kStartLimit = std::chrono::seconds(5);

// The servers that are stopping: their held-back answers end at once.
std::mutex stoppingMutex;
std::condition_variable stoppingChanged;
std::set<const httplib::Server*> stoppingServers;

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Certificate = std::unique_ptr<X509, CertificateDeleter>;

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

/// A self-signed certificate for the login host, made fresh at every start so no private key
/// is ever stored; browsers and the request routines are told to trust exactly this one.
std::pair<Key, Certificate> makeCertificate(const std::string& host) {
    Key key(EVP_EC_gen("P-256"));
    require(key != nullptr, "key");
    Certificate certificate(X509_new());
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
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1,
                               0);
    require(X509_set_issuer_name(cert, name) == 1, "issuer");
    require(X509_set_pubkey(cert, key.get()) == 1, "public key");
    addExtension(cert, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, NID_key_usage, "critical,digitalSignature");
    addExtension(cert, NID_ext_key_usage, "serverAuth");
    addExtension(cert, NID_subject_key_identifier, "hash");
    addExtension(cert, NID_subject_alt_name, ("DNS:" + host).c_str());
    require(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signature");
    return {std::move(key), std::move(certificate)};
}

std::string pemOf(X509* certificate) {
    std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
    require(bio != nullptr && PEM_write_bio_X509(bio.get(), certificate) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

void configure(httplib::Server& server) {
    // The library's default also sets SO_REUSEPORT, which would let a second market bind a port
    // that is in use and silently share its connections; reusing an address in TIME_WAIT is all
    // a restart needs.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(1);
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
}

void waitUntilRunning(const httplib::Server& server) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (!server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("demo marketplace: the server did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

bool WaitWhileServing(const httplib::Server& server, std::chrono::milliseconds duration) {
    std::unique_lock lock(stoppingMutex);
    return !stoppingChanged.wait_for(lock, duration, [&] { return stoppingServers.contains(&server); });
}

std::string RequestHost(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    // "[::1]:8080" keeps its brackets; "shop.example.com:80" loses the port.
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos)
        host.erase(colon);
    return LowerAscii(std::move(host));
}

struct DemoMarket::Impl {
    httplib::Server http;
    std::unique_ptr<httplib::SSLServer> https;
    std::string certificatePem;
    int port = 0;
    int httpsPort = 0;
    std::thread httpThread;
    std::thread httpsThread;

    void stop() {
        {
            std::lock_guard lock(stoppingMutex);
            stoppingServers.insert(&http);
            stoppingServers.insert(https.get());
        }
        stoppingChanged.notify_all();
        http.stop();
        https->stop();
        if (httpThread.joinable())
            httpThread.join();
        if (httpsThread.joinable())
            httpsThread.join();
        std::lock_guard lock(stoppingMutex);
        stoppingServers.erase(&http);
        stoppingServers.erase(https.get());
    }
};

DemoMarket::DemoMarket(int port) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    auto [key, certificate] = makeCertificate(ToUtf8(endpoints::kLoginHost));
    impl.certificatePem = pemOf(certificate.get());
    // The server takes its own references to the key and the certificate.
    impl.https = std::make_unique<httplib::SSLServer>(certificate.get(), key.get());
    if (!impl.https->is_valid())
        throw std::runtime_error("demo marketplace: the HTTPS server cannot be set up");

    configure(impl.http);
    configure(*impl.https);
    RegisterTestEndpoints(impl.http);
    RegisterAccountPages(impl.http);
    RegisterMarketPages(impl.http);
    RegisterAccountPages(*impl.https);
    // The test pages over TLS too, for checking certificate handling and Secure cookies.
    RegisterTestEndpoints(*impl.https);

    if (port == 0) {
        impl.port = impl.http.bind_to_any_port(kLoopback);
    } else if (impl.http.bind_to_port(kLoopback, port)) {
        impl.port = port;
    }
    if (impl.port <= 0)
        throw std::runtime_error("demo marketplace: cannot listen on 127.0.0.1:" + std::to_string(port));
    impl.httpsPort = impl.https->bind_to_any_port(kLoopback);
    if (impl.httpsPort <= 0)
        throw std::runtime_error("demo marketplace: cannot listen for HTTPS on 127.0.0.1");

    impl.httpThread = std::thread([&impl] { impl.http.listen_after_bind(); });
    impl.httpsThread = std::thread([&impl] { impl.https->listen_after_bind(); });
    try {
        waitUntilRunning(impl.http);
        waitUntilRunning(*impl.https);
    } catch (...) {
        impl.stop();
        throw;
    }
}

DemoMarket::~DemoMarket() {
    m_impl->stop();
}

int DemoMarket::port() const {
    return m_impl->port;
}

std::string DemoMarket::hostPort() const {
    return std::string(kLoopback) + ":" + std::to_string(m_impl->port);
}

int DemoMarket::httpsPort() const {
    return m_impl->httpsPort;
}

std::string DemoMarket::certificatePem() const {
    return m_impl->certificatePem;
}

} // namespace tarvisk::demo
