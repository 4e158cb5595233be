# Sourced by the release tests: a throw-away root CA and the certificates it issues, valid for two days
# and trusted nowhere but where a test names its ca.pem.

# make_code_signing_certificate FOLDER: the CA (FOLDER/ca.pem) and a code-signing certificate it issued to
# "CN=Vandrel Test Signer,O=Olvast Test", with its key in FOLDER/signer.p12 under the password in
# FOLDER/password.txt.
make_code_signing_certificate() {
  local dir=$1
  mkdir -p "$dir"
  printf 'throw-away password\n' > "$dir/password.txt"
  quietly "$dir" openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vandrel Test Root" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      -keyout "$dir/ca.key" -out "$dir/ca.pem" &&
    issue_certificate "$dir" signer "/O=Olvast Test/CN=Vandrel Test Signer" "keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning" &&
    quietly "$dir" openssl pkcs12 -export -inkey "$dir/signer.key" -in "$dir/signer.pem" \
      -passout "file:$dir/password.txt" -out "$dir/signer.p12"
}

# make_time_stamp_authority FOLDER, after make_code_signing_certificate: a time-stamping certificate of
# the same CA (FOLDER/tsa.pem and tsa.key) and the configuration that `openssl ts -reply` answers with
# (FOLDER/tsa.cnf).
make_time_stamp_authority() {
  local dir=$1
  issue_certificate "$dir" tsa "/CN=Vandrel Test Time Stamps" "keyUsage=critical,digitalSignature
extendedKeyUsage=critical,timeStamping" || return 1
  cat > "$dir/tsa.cnf" <<CONFIG
[tsa]
default_tsa = test_tsa
[test_tsa]
serial = $dir/tsa.serial
crypto_device = builtin
signer_cert = $dir/tsa.pem
certs = $dir/ca.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
CONFIG
}

# issue_certificate FOLDER NAME SUBJECT EXTENSIONS: FOLDER/NAME.pem and NAME.key, issued by the CA.
issue_certificate() {
  local dir=$1 name=$2 subject=$3 extensions=$4
  printf 'basicConstraints=critical,CA:FALSE\n%s\n' "$extensions" > "$dir/$name.ext"
  quietly "$dir" openssl req -newkey rsa:2048 -nodes -subj "$subject" -keyout "$dir/$name.key" -out "$dir/$name.csr" &&
    quietly "$dir" openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial \
      -days 2 -extfile "$dir/$name.ext" -out "$dir/$name.pem"
}

# quietly FOLDER COMMAND...: runs COMMAND with its chatter in FOLDER/openssl.log, shown when it fails.
quietly() {
  local dir=$1
  shift
  "$@" >"$dir/openssl.log" 2>&1 || { cat "$dir/openssl.log" >&2; return 1; }
}
