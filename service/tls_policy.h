#pragma once

// The service's TLS policy, in one place: which protocol versions and cipher
// suites it accepts, in whose order, and how clients resume earlier sessions.

#include <openssl/ssl.h>

namespace zentravo::lookup {

// TLS 1.2 suites, in the order the server prefers them: forward-secret key
// exchange (ECDHE) with authenticated encryption (GCM, ChaCha20-Poly1305) only;
// ECDSA first, for the certificate the scripts make.
inline constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:"
    "ECDHE-RSA-AES128-GCM-SHA256:ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-CHACHA20-POLY1305";

// TLS 1.3 suites (all of them AEAD), in the server's order: AES-128 first, whose
// SHA-256 key schedule costs a resumed handshake less than SHA-384's.
inline constexpr const char* kTls13Ciphers = "TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256:TLS_AES_256_GCM_SHA384";

// Applies the policy to a server context before its certificate is loaded:
// TLS 1.2 and 1.3 only; for 1.2 only kTls12Ciphers, chosen in the server's order;
// no renegotiation, no compression; sessions resumable for a day by ticket and
// from a server-side cache (a client that reconnects for every lookup then skips
// the signature of a full handshake); records read ahead, as many as the socket
// holds per read; record buffers given back while a connection is idle. False
// when OpenSSL refuses a setting.
bool ApplyServerTlsPolicy(SSL_CTX* context);

}  // namespace zentravo::lookup
