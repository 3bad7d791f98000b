#!/bin/sh
# Makes the four intermediate CFCA certificates as stand-ins: the subjects, issuers, serial
# numbers and validity of the real ones, CA=true, 1024-bit RSA keys, SHA-1 with RSA. They are
# signed by throw-away keys (the root's own key is not available), so their signatures do not
# verify against the real root. Run once; the DER files it writes are kept beside it.
set -eu

out=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > ca.cnf <<'CNF'
[ca]
default_ca = standin
[standin]
dir = .
database = index.txt
new_certs_dir = .
serial = serial.txt
policy = anything
email_in_dn = no
unique_subject = no
copy_extensions = none
[anything]
countryName = optional
organizationName = optional
[authority]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF

# A self-signed authority used only to sign: subject `$2`, key in `$1.key`.
make_signer() {
    openssl req -new -x509 -newkey rsa:1024 -nodes -keyout "$1.key" -subj "$2" \
        -sha1 -days 1 -out "$1.pem" 2>/dev/null
}

# issue NAME SUBJECT SIGNER SERIAL START END
issue() {
    : > index.txt
    echo "$4" > serial.txt
    openssl req -new -newkey rsa:1024 -nodes -keyout "$1.key" -subj "$2" -out "$1.csr" 2>/dev/null
    openssl ca -batch -config ca.cnf -extensions authority -md sha1 -notext -preserveDN \
        -cert "$3.pem" -keyfile "$3.key" -startdate "$5" -enddate "$6" \
        -in "$1.csr" -out "$1.pem" 2>/dev/null
    openssl x509 -in "$1.pem" -outform der -out "$out/$1.der"
}

make_signer root "/C=CN/O=CFCA Root CA"
issue Policy_CA "/C=CN/O=CFCA Policy CA" root 394468AB 20000612063655Z 20200612043706Z
issue Operation_CA "/C=CN/O=CFCA Operation CA" Policy_CA 39448BB9 20000612074952Z 20200612043706Z
issue Operation_CA1 "/C=CN/O=CFCA Operation CA1" root 39448A6D 20030828094246Z 20200612043706Z
issue Operation_CA2 "/C=CN/O=CFCA Operation CA2" root 39449877 20041206062937Z 20191120160000Z
