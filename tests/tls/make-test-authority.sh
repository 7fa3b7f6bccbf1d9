#!/usr/bin/env bash
# Makes the tests' own certificate authority and the server certificates
# the TLS tests need, with the openssl tool, into one folder:
#
#   ca.pem, ca.der        the test authority (PEM for OpenSSL and curl, DER
#                         for the Wine prefix's trusted roots)
#   server.key            the one key of every server certificate below
#   localhost.pem         for localhost, from the test authority
#   otherhost.pem         for otherhost.invalid: the wrong name for localhost
#   expired.pem           for localhost, expired yesterday
#   stranger.pem          for localhost, from an authority nobody trusts
#
#   tests/tls/make-test-authority.sh <folder>
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"

# RSA rather than EC keys: Wine's certificate chain engine checks RSA
# signatures on every version the tests meet.
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }
authority() { # <name> <common name>
  key "$1.key"
  openssl req -x509 -new -key "$1.key" -subj "/CN=$2" -days 3650 -sha256 \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -out "$1.pem"
}
server() { # <file> <dns name> <authority> <days>
  openssl req -new -key server.key -subj "/CN=$2" -out "$1.csr"
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$2" \
    >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -CAcreateserial -days "$4" \
    -sha256 -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}

authority ca "Tavoro Test Authority"
authority stranger-ca "Stranger Test Authority"
openssl x509 -in ca.pem -outform DER -out ca.der
key server.key
server localhost localhost ca 3650
server otherhost otherhost.invalid ca 3650
# A negative span: valid until yesterday.
server expired localhost ca -1
server stranger localhost stranger-ca 3650
