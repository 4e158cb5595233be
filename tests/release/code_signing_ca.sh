# Sourced by the release tests. make_code_signing_certificate FOLDER: a throw-away root CA
# (FOLDER/ca.pem) and a code-signing certificate it issued to "CN=Vandrel Test Signer,O=Olvast Test",
# with its key in FOLDER/signer.p12 under the password in FOLDER/password.txt. Both are valid for two
# days and trusted nowhere but where a test names ca.pem.
make_code_signing_certificate() {
  local dir=$1
  mkdir -p "$dir"
  printf 'throw-away password\n' > "$dir/password.txt"
  printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    > "$dir/signer.ext"
  if ! {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vandrel Test Root" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      -keyout "$dir/ca.key" -out "$dir/ca.pem" &&
    openssl req -newkey rsa:2048 -nodes -subj "/O=Olvast Test/CN=Vandrel Test Signer" \
      -keyout "$dir/signer.key" -out "$dir/signer.csr" &&
    openssl x509 -req -in "$dir/signer.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
      -extfile "$dir/signer.ext" -out "$dir/signer.pem" &&
    openssl pkcs12 -export -inkey "$dir/signer.key" -in "$dir/signer.pem" -passout "file:$dir/password.txt" \
      -out "$dir/signer.p12"
  } >"$dir/openssl.log" 2>&1; then
    cat "$dir/openssl.log" >&2
    return 1
  fi
}
