#!/usr/bin/env bash
# Makes a local certificate authority and a server certificate for "localhost"
# (and 127.0.0.1) signed by it, in the folder given (default build/certs):
#   ca.pem, ca.key            the authority (RSA); trust ca.pem where a client must accept
#   localhost.pem, localhost.key
#                             the server's ECDSA P-256 key: a full handshake signs with
#                             it, and P-256 signs many times faster than RSA 2048
#   localhost-rsa.pem, localhost-rsa.key
#                             the same name with an RSA 2048 key, for clients and tests
#                             that need one
# Keeps existing files while the server certificate is valid for another day and
# its key is a P-256 one.
set -euo pipefail

dir=${1:-"$(cd "$(dirname "$0")/.." && pwd)/build/certs"}
mkdir -p "$dir"
cd "$dir"

if [ -s ca.pem ] && [ -s localhost.pem ] && [ -s localhost.key ] &&
   [ -s localhost-rsa.pem ] && [ -s localhost-rsa.key ] &&
   openssl x509 -in localhost.pem -noout -checkend 86400 >/dev/null 2>&1 &&
   [[ "$(openssl pkey -in localhost.key -noout -text 2>/dev/null)" == *prime256v1* ]]; then
  exit 0
fi

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 825 \
  -keyout ca.key -out ca.pem -subj "/CN=Zentravo Local Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -sha256 \
  -keyout localhost.key -out localhost.csr -subj "/CN=localhost" 2>/dev/null

cat > localhost.ext <<'EXT'
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1
EXT
openssl x509 -req -in localhost.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
  -out localhost.pem -days 397 -sha256 -extfile localhost.ext 2>/dev/null

openssl req -newkey rsa:2048 -nodes -sha256 \
  -keyout localhost-rsa.key -out localhost-rsa.csr -subj "/CN=localhost" 2>/dev/null
sed 's/digitalSignature$/digitalSignature,keyEncipherment/' localhost.ext >localhost-rsa.ext
openssl x509 -req -in localhost-rsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
  -out localhost-rsa.pem -days 397 -sha256 -extfile localhost-rsa.ext 2>/dev/null
rm -f localhost.csr localhost.ext localhost-rsa.csr localhost-rsa.ext ca.srl
echo "certificates: $dir"
