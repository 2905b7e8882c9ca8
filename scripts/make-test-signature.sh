#!/usr/bin/env bash
# Signs a copy of a test program with a throw-away certificate chain, for the
# signature tests. Run by the build; everything it makes stays in the build
# folder and is made anew on each run (nothing here is secret or kept).
#
#   make-test-signature.sh INPUT.exe SIGNED.exe ROOT.cer WORKDIR
#
# SIGNED.exe: INPUT.exe with an embedded Authenticode signature (SHA-256) by a
# code-signing certificate issued by a fresh test root; ROOT.cer: that root in
# DER form, for the test to install into the prefix's ROOT store.
set -euo pipefail

[[ $# -eq 4 ]] || { echo "usage: $0 INPUT.exe SIGNED.exe ROOT.cer WORKDIR" >&2; exit 2; }
input="$1" signed="$2" rootcer="$3" work="$4"

rm -rf "$work"
mkdir -p "$work"
cd "$work"

cat >root.cnf <<'EOF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ext
[dn]
CN = Quorvane Test Root
O = Quorvane tests
[ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
EOF

cat >leaf.cnf <<'EOF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Quorvane Test Code Signing
O = Quorvane tests
[ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 \
  -config root.cnf -keyout root.key -out root.pem 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -sha256 \
  -config leaf.cnf -keyout leaf.key -out leaf.csr 2>/dev/null
openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -set_serial "0x$(openssl rand -hex 8)" \
  -days 3650 -sha256 -extfile leaf.cnf -extensions ext -out leaf.pem 2>/dev/null
cat leaf.pem root.pem >chain.pem

rm -f "$signed"
osslsigncode sign -certs chain.pem -key leaf.key -h sha256 -n "Quorvane signature test" \
  -in "$input" -out "$signed" >/dev/null
openssl x509 -in root.pem -outform DER -out "$rootcer"
