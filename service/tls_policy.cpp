#include "service/tls_policy.h"

namespace zentravo::lookup {
namespace {

// Sessions of the server-side cache; tickets need no room on the server.
constexpr long kSessionCacheSize = 20480;
constexpr long kSessionLifetimeSeconds = 24 * 60 * 60;
constexpr unsigned char kSessionIdContext[] = "zentravo-lookup";

}  // namespace

bool ApplyServerTlsPolicy(SSL_CTX* context) {
  if (SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) return false;
  if (SSL_CTX_set_cipher_list(context, kTls12Ciphers) != 1) return false;
  if (SSL_CTX_set_ciphersuites(context, kTls13Ciphers) != 1) return false;
  if (SSL_CTX_set1_groups_list(context, "X25519:P-256:P-384") != 1) return false;
  SSL_CTX_set_options(context, SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION |
                                   SSL_OP_SINGLE_ECDH_USE);
  SSL_CTX_clear_options(context, SSL_OP_NO_TICKET);

  SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_SERVER);
  SSL_CTX_sess_set_cache_size(context, kSessionCacheSize);
  SSL_CTX_set_timeout(context, kSessionLifetimeSeconds);
  if (SSL_CTX_set_session_id_context(context, kSessionIdContext, sizeof kSessionIdContext - 1) != 1) return false;
  // One ticket per full handshake is enough for a client that runs one lookup
  // per connection; each ticket costs an encryption.
  SSL_CTX_set_num_tickets(context, 1);

  SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
  // Read whatever the socket holds in one call rather than a record's header and
  // then its body: a handshake flight (ChangeCipherSpec, Finished) or a request
  // then costs one read instead of two or four. Bytes read ahead count as pending
  // (SSL_has_pending), which TlsStream::WaitReadable looks at before it waits.
  SSL_CTX_set_read_ahead(context, 1);
  return true;
}

}  // namespace zentravo::lookup
