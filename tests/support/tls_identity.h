#pragma once

// Certificates made on the spot for TLS servers on loopback: an authority, and server certificates
// it signs (or that sign themselves), valid, expired or for another name.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace oz::test {

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};

class TlsIdentity {
   public:
    struct Options {
        std::string name = "127.0.0.1";       // the subject and its one alternative name
        long validFromDays = -1;              // relative to now
        long validToDays = 30;                // relative to now; negative: expired
        const TlsIdentity* issuer = nullptr;  // null: signed by its own key
        bool authority = false;               // may sign other certificates
    };

    explicit TlsIdentity(const Options& options) : m_key(EVP_EC_gen("P-256")), m_cert(X509_new()) {
        X509* cert = m_cert.get();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), ++serial());
        X509_gmtime_adj(X509_getm_notBefore(cert), options.validFromDays * 86400);
        X509_gmtime_adj(X509_getm_notAfter(cert), options.validToDays * 86400);
        X509_set_pubkey(cert, m_key.get());
        X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(options.name.c_str()), -1, -1, 0);
        const TlsIdentity& issuer = options.issuer != nullptr ? *options.issuer : *this;
        X509_set_issuer_name(cert, X509_get_subject_name(issuer.cert()));
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, issuer.cert(), cert, nullptr, nullptr, 0);
        const bool ip = options.name.find_first_not_of("0123456789.") == std::string::npos;
        addExtension(ctx, NID_basic_constraints, options.authority ? "critical,CA:TRUE" : "CA:FALSE");
        if (!options.authority) {
            addExtension(ctx, NID_subject_alt_name, (ip ? "IP:" : "DNS:") + options.name);
        }
        X509_sign(cert, issuer.key(), EVP_sha256());
    }

    X509* cert() const { return m_cert.get(); }
    EVP_PKEY* key() const { return m_key.get(); }

    // The pin libcurl takes: "sha256//" + base64 of the SHA-256 of the public key's DER form.
    std::string pin() const {
        unsigned char* der = nullptr;
        const int size = i2d_PUBKEY(m_key.get(), &der);
        unsigned char hash[EVP_MAX_MD_SIZE];
        unsigned int hashSize = 0;
        EVP_Digest(der, static_cast<std::size_t>(size), hash, &hashSize, EVP_sha256(), nullptr);
        OPENSSL_free(der);
        unsigned char text[4 * EVP_MAX_MD_SIZE];
        const int length = EVP_EncodeBlock(text, hash, static_cast<int>(hashSize));
        return "sha256//" + std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(length));
    }

    // Writes the certificate (or with `publicKey` its public key) as PEM.
    bool writePem(const std::filesystem::path& path, bool publicKey = false) const {
        FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) return false;
        const int ok = publicKey ? PEM_write_PUBKEY(file, m_key.get()) : PEM_write_X509(file, m_cert.get());
        return std::fclose(file) == 0 && ok == 1;
    }

   private:
    static long& serial() {
        static long value = 0;
        return value;
    }
    void addExtension(X509V3_CTX& ctx, int nid, const std::string& value) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        X509_add_ext(m_cert.get(), ext, -1);
        X509_EXTENSION_free(ext);
    }

    std::unique_ptr<EVP_PKEY, PkeyFree> m_key;
    std::unique_ptr<X509, X509Free> m_cert;
};

}  // namespace oz::test
