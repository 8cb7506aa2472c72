// zentravo-trust-ca: makes a certificate authority trusted on this Windows system,
// by adding it to the "Root" certificate store of the local machine. Under Wine
// that store lives in the registry of the current prefix (WINEPREFIX), so the
// authority is trusted there and nowhere else: not by the host, not by other
// prefixes. Adding an authority that is there already changes nothing.

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/external_function.h"
#include "zentravo/version.h"

namespace zentravo {
namespace {

ExternalFunction<decltype(CertOpenStore)> g_CertOpenStore{"crypt32.dll", "CertOpenStore"};
ExternalFunction<decltype(CertCloseStore)> g_CertCloseStore{"crypt32.dll", "CertCloseStore"};
ExternalFunction<decltype(CertCreateCertificateContext)> g_CertCreateCertificateContext{
    "crypt32.dll", "CertCreateCertificateContext"};
ExternalFunction<decltype(CertFreeCertificateContext)> g_CertFreeCertificateContext{
    "crypt32.dll", "CertFreeCertificateContext"};
ExternalFunction<decltype(CertFindCertificateInStore)> g_CertFindCertificateInStore{
    "crypt32.dll", "CertFindCertificateInStore"};
ExternalFunction<decltype(CertAddEncodedCertificateToStore)> g_CertAddEncodedCertificateToStore{
    "crypt32.dll", "CertAddEncodedCertificateToStore"};
ExternalFunction<decltype(CertGetNameStringA)> g_CertGetNameStringA{"crypt32.dll",
                                                                   "CertGetNameStringA"};
ExternalFunction<decltype(CryptStringToBinaryA)> g_CryptStringToBinaryA{"crypt32.dll",
                                                                       "CryptStringToBinaryA"};

constexpr int kDone = 0;         // trusted now (added, or there already)
constexpr int kNotTrusted = 1;   // --check: not in the store
constexpr int kFailed = 2;       // bad arguments, unreadable file, store refused

const char kUsage[] =
    "Usage: zentravo-trust-ca [--quiet] CERTIFICATE\n"
    "       zentravo-trust-ca --check CERTIFICATE\n"
    "       zentravo-trust-ca --help\n"
    "       zentravo-trust-ca --version\n"
    "\n"
    "Adds the certificate authority in CERTIFICATE (PEM or DER) to the trusted root\n"
    "authorities of the local machine (the \"Root\" store). Under Wine this is the\n"
    "store of the current prefix only. Adding an authority that is trusted already\n"
    "changes nothing.\n"
    "\n"
    "  --check   only tell whether the authority is trusted; changes nothing\n"
    "  --quiet   print nothing on success\n"
    "\n"
    "Exit status: 0 trusted (added now or before); 1 not trusted (--check);\n"
    "2 bad arguments, unreadable certificate, or a store that refused it.\n";

class CertificateStore {
 public:
  explicit CertificateStore(HCERTSTORE store) : store_(store) {}
  ~CertificateStore() {
    if (store_ != nullptr) g_CertCloseStore(store_, 0);
  }
  CertificateStore(const CertificateStore&) = delete;
  CertificateStore& operator=(const CertificateStore&) = delete;
  HCERTSTORE get() const { return store_; }

 private:
  HCERTSTORE store_;
};

class Certificate {
 public:
  explicit Certificate(PCCERT_CONTEXT context) : context_(context) {}
  ~Certificate() {
    if (context_ != nullptr) g_CertFreeCertificateContext(context_);
  }
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;
  PCCERT_CONTEXT get() const { return context_; }

 private:
  PCCERT_CONTEXT context_;
};

bool ReadFileBytes(const char* path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The DER bytes of the certificate: PEM is decoded, anything else taken as DER.
std::vector<BYTE> CertificateDer(const std::string& file) {
  if (file.find("-----BEGIN") == std::string::npos) return {file.begin(), file.end()};
  DWORD size = 0;
  if (!g_CryptStringToBinaryA(file.c_str(), static_cast<DWORD>(file.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
    return {};
  }
  std::vector<BYTE> der(size);
  if (!g_CryptStringToBinaryA(file.c_str(), static_cast<DWORD>(file.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
    return {};
  }
  der.resize(size);
  return der;
}

std::string SubjectName(PCCERT_CONTEXT certificate) {
  char name[512] = "";
  g_CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof name);
  return name;
}

int Run(const char* path, bool checkOnly, bool quiet) {
  std::string file;
  if (!ReadFileBytes(path, file)) {
    std::fprintf(stderr, "zentravo-trust-ca: cannot read %s\n", path);
    return kFailed;
  }
  const std::vector<BYTE> der = CertificateDer(file);
  Certificate certificate(der.empty() ? nullptr
                                      : g_CertCreateCertificateContext(
                                            X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size())));
  if (certificate.get() == nullptr) {
    std::fprintf(stderr, "zentravo-trust-ca: %s holds no certificate\n", path);
    return kFailed;
  }
  const std::string subject = SubjectName(certificate.get());

  const DWORD access = checkOnly ? CERT_STORE_READONLY_FLAG : 0;
  CertificateStore store(g_CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                         CERT_SYSTEM_STORE_LOCAL_MACHINE | access, "Root"));
  if (store.get() == nullptr) {
    std::fprintf(stderr, "zentravo-trust-ca: cannot open the Root store (error %lu)\n",
                 GetLastError());
    return kFailed;
  }

  Certificate present(g_CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0,
                                                   CERT_FIND_EXISTING, certificate.get(),
                                                   nullptr));
  if (present.get() != nullptr) {
    if (!quiet) std::printf("trusted already: %s\n", subject.c_str());
    return kDone;
  }
  if (checkOnly) {
    if (!quiet) std::printf("not trusted: %s\n", subject.c_str());
    return kNotTrusted;
  }
  if (!g_CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_NEW,
                                          nullptr)) {
    std::fprintf(stderr, "zentravo-trust-ca: the Root store refused %s (error 0x%lX)\n",
                 subject.c_str(), GetLastError());
    return kFailed;
  }
  if (!quiet) std::printf("trusted now: %s\n", subject.c_str());
  return kDone;
}

}  // namespace
}  // namespace zentravo

int main(int argc, char** argv) {
  bool checkOnly = false;
  bool quiet = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
        std::strcmp(argv[i], "/?") == 0) {
      std::fputs(zentravo::kUsage, stdout);
      return zentravo::kDone;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs("zentravo-trust-ca " ZENTRAVO_VERSION "\n", stdout);
      return zentravo::kDone;
    }
    if (std::strcmp(argv[i], "--check") == 0) {
      checkOnly = true;
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      std::fprintf(stderr, "zentravo-trust-ca: unknown option %s\n\n%s", argv[i], zentravo::kUsage);
      return zentravo::kFailed;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      std::fprintf(stderr, "zentravo-trust-ca: one certificate at a time\n\n%s", zentravo::kUsage);
      return zentravo::kFailed;
    }
  }
  if (path == nullptr) {
    std::fputs(zentravo::kUsage, stderr);
    return zentravo::kFailed;
  }
  return zentravo::Run(path, checkOnly, quiet);
}
