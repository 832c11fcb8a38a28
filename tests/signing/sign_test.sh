#!/usr/bin/env bash
# Signed setup images, built in one tree of their own that every run reuses,
# with throwaway self-signed certificates, in PKCS#12 files and for a key made
# on a SoftHSM token under WORK_DIR. The tree is configured through the
# release preset (CMakePresets.json), as a publisher configures theirs, from
# a copy of the sources; both paths hold a space.
#
#   sign_test.sh STEP SOURCE_DIR WORK_DIR WINE_DIR GENERATOR VERSION SUITE_EXE
#
# STEP is one of
#   configure-errors  a missing or unreadable certificate or password file,
#                     two ways of signing at once, a command without @FILE@ or
#                     a bad version stops the configuration with a message
#                     naming it
#   failures          a wrong PIN (tried once, and not again until its file
#                     changes) and a command that fails, signs nothing, signs
#                     another file, signs another program, alters the image,
#                     breaks the signature, appends to it, signs with SHA-1 or
#                     with another certificate than LUMIRAN_SIGN_CERT's each
#                     stop the build and leave no image; a command at a
#                     relative path with spaces signs; an unsigned payload is
#                     warned of
#   build             unsigned, signed, unsigned, signed again: switching
#                     signing on and off replaces the image, and both kinds are
#                     reproducible (SOURCE_DATE_EPOCH fixes the signing time);
#                     the bill of materials beside each carries its hash;
#                     the second signing takes the key from a PKCS#12 file
#                     without a password, with an empty password file; last,
#                     through the token, timestamped by the third of three
#                     servers (the first stalls, the second is down), the PIN
#                     nowhere in the tree, the build's output or osslsigncode's
#                     arguments; a build killed right after the link leaves
#                     no unsigned image, and the next signs; the PIN file gone
#                     breaks no build with nothing to sign
#   verify            osslsigncode accepts the signature, chained to the
#                     token's certificate, and its timestamp
#   resources         signing changed nothing but the checksum and the
#                     certificate table: same resources, same bytes
#   install           the signed image installs silently under Wine and leaves
#                     itself, signature and all, as Lumiran-Uninstall.exe,
#                     which verifies too
# VERSION is the version to build; SUITE_EXE the payload to embed, or empty
# for the stand-in suite.
set -uo pipefail
step=$1 src=$2 work=$3 wine_dir=$4 generator=$5 version=$6 suite=${7:-}
source="$work/source tree"
tree="$work/build tree"
image_name=Lumiran-Setup-$version-x64.exe
image=$tree/$image_name
unsigned=$work/unsigned.exe
cert=$work/cert
token=$work/token
tsa=$work/tsa
subject="Lumiran throwaway signing $$"
module=/usr/lib/softhsm/libsofthsm2.so
key_uri="pkcs11:token=LumiranTest;object=signing;type=private"
export SOFTHSM2_CONF=$token/softhsm2.conf
export SOURCE_DATE_EPOCH=1700000000
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
finish() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
    echo "all checks passed"
    exit 0
}
mkdir -p "$work"

# A self-signed code-signing certificate and its PKCS#12 file, password
# protected, and the same key and certificate in one without a password.
make_cert() {
    rm -rf "$cert" && mkdir -p "$cert" || exit 1
    printf 'throwaway-%s\n' "$$" >"$cert/password.txt"
    if ! { openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$subject" \
                   -addext "extendedKeyUsage=codeSigning" \
                   -keyout "$cert/key.pem" -out "$cert/cert.pem" &&
           openssl pkcs12 -export -in "$cert/cert.pem" -inkey "$cert/key.pem" \
                   -passout "file:$cert/password.txt" -out "$cert/cert.p12" &&
           openssl pkcs12 -export -in "$cert/cert.pem" -inkey "$cert/key.pem" \
                   -passout pass: -out "$cert/no-password.p12"; } >"$work/cert.log" 2>&1; then
        cat "$work/cert.log"
        echo "FAIL: openssl could not make the throwaway certificate"
        exit 1
    fi
}

# ... and osslsigncode run through a wrapper that notes its arguments.
copy_source() {
    mkdir -p "$source" && tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$source" -xf - ||
        { echo "FAIL: cannot copy the sources to $source"; exit 1; }
    printf '#!/bin/sh\necho "$*" >>"%s.args"\nexec osslsigncode "$@"\n' "$work/osslsigncode" >"$work/osslsigncode" &&
        chmod +x "$work/osslsigncode" || exit 1
}

# A token with an RSA key generated on it, its PIN in pin.txt, and a
# self-signed code-signing certificate for that key.
make_token() {
    rm -rf "$token" && mkdir -p "$token/objects" || exit 1
    printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$token/objects" >"$SOFTHSM2_CONF"
    printf 'pin-%s-%s\n' "$$" "$RANDOM" >"$token/pin.txt"
    local pin
    pin=$(<"$token/pin.txt")
    if ! { softhsm2-util --init-token --free --label LumiranTest --pin "$pin" --so-pin "so-$pin" &&
           pkcs11-tool --module "$module" --token-label LumiranTest --login --pin "$pin" \
                       --keypairgen --key-type rsa:2048 --label signing --id 01 &&
           PKCS11_MODULE_PATH=$module openssl req -new -x509 -engine pkcs11 -keyform engine \
                       -key "$key_uri;pin-value=$pin" -subj "/CN=$subject, token" -days 30 \
                       -addext "extendedKeyUsage=codeSigning" -out "$token/cert.pem"; } >"$work/token.log" 2>&1; then
        cat "$work/token.log"
        echo "FAIL: SoftHSM could not make the throwaway token"
        exit 1
    fi
}

configure() {  # configure LOG [-DVAR=VALUE...]
    local log=$1
    shift
    # The preset names the toolchain and the build type; -B and -G win over it.
    cmake --preset release -S "$source" -B "$tree" -G "$generator" -DLUMIRAN_SUITE_EXE="$suite" \
          -DLUMIRAN_VERSION="$version" -DLUMIRAN_OSSLSIGNCODE="$work/osslsigncode" -DCMAKE_CXX_LINKER_LAUNCHER= \
          -DLUMIRAN_SIGN_TIMESTAMP_URL= "$@" >"$log" 2>&1
}
signing_on() { configure "$1" -DLUMIRAN_SIGN_PKCS12="$cert/cert.p12" -DLUMIRAN_SIGN_PASSWORD_FILE="$cert/password.txt"; }
signing_on_without_password() {
    : >"$cert/empty.txt"
    configure "$1" -DLUMIRAN_SIGN_PKCS12="$cert/no-password.p12" -DLUMIRAN_SIGN_PASSWORD_FILE="$cert/empty.txt"
}
signing_off() { configure "$1" -DLUMIRAN_SIGN_PKCS12= -DLUMIRAN_SIGN_PASSWORD_FILE=; }
signing_token() {  # signing_token LOG [MODULE [PIN_FILE]] [-DVAR=VALUE...]
    configure "$1" -DLUMIRAN_SIGN_PKCS11_MODULE="${2:-$module}" -DLUMIRAN_SIGN_PKCS11_KEY="$key_uri" \
              -DLUMIRAN_SIGN_CERT="$token/cert.pem" -DLUMIRAN_SIGN_PASSWORD_FILE="${3:-$token/pin.txt}" "${@:4}"
}
signing_timestamped() {
    local port stalled
    read -r port stalled <"$tsa/port"
    signing_token "$1" "" "" -DLUMIRAN_SIGN_TIMESTAMP_TIMEOUT=5 "${@:2}" \
        -DLUMIRAN_SIGN_TIMESTAMP_URL="http://127.0.0.1:$stalled/;http://127.0.0.1:1/;http://127.0.0.1:$port/"
}
build() {  # build LOG
    cmake --build "$tree" --target lumiran_setup -j"$(nproc)" >"$1" 2>&1
}
# The Security (certificate table) directory: "OFFSET SIZE" in hex, zeros when unsigned.
security_directory() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '$1 == "Entry" && $2 == "4" { print $3, $4 }'
}
is_signed() { [ "$(security_directory "$1")" != "0000000000000000 00000000" ]; }
# The image's SHA-256 as the bill of materials beside it states it, and as it is.
bom_hash_matches() {
    local stated
    stated=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["metadata"]["component"]["hashes"][0]["content"])' \
             "${image%.exe}.cdx.json") && [ "$stated" = "$(sha256sum "$image" | cut -d' ' -f1)" ]
}
verify() {  # verify IMAGE LOG [CA]: against CA (the token's certificate) and the TSA's
    osslsigncode verify -CAfile "${3:-$token/cert.pem}" -TSA-CAfile "$tsa/tsa.pem" -in "$1" >"$2" 2>&1
    grep -q "^Signature verification: ok" "$2"
}

# configure_fails DESCRIPTION MESSAGE PATH [-DVAR=VALUE...]: the configuration
# stops, and its log holds the message and the path on a line of its own.
configure_fails() {
    local what=$1 message=$2 path=$3 log=$work/configure-error.log
    shift 3
    if configure "$log" "$@"; then
        fail "$what: the configuration went through"
    elif ! grep -qF "$message" "$log"; then
        fail "$what: no message '$message'"; sed 's/^/    /' "$log" | tail -n 15
    elif [ -n "$path" ] && ! sed 's/^ *//' "$log" | grep -qxF "$path"; then
        fail "$what: the message does not name $path"; sed 's/^/    /' "$log" | tail -n 15
    else
        ok "$what"
    fi
}

step_configure_errors() {
    copy_source
    [ -f "$cert/cert.p12" ] || make_cert
    local p12=$cert/cert.p12 password=$cert/password.txt missing="$work/no such folder/cert.p12"
    configure_fails "a missing PKCS#12 file" \
        "LUMIRAN_SIGN_PKCS12: there is no PKCS#12 file" "$missing" \
        -DLUMIRAN_SIGN_PKCS12="$missing" -DLUMIRAN_SIGN_PASSWORD_FILE="$password"
    configure_fails "a folder given as the PKCS#12 file" \
        "LUMIRAN_SIGN_PKCS12: the PKCS#12 file (certificate and key) cannot be read" "$cert" \
        -DLUMIRAN_SIGN_PKCS12="$cert" -DLUMIRAN_SIGN_PASSWORD_FILE="$password"
    configure_fails "a missing password file" \
        "LUMIRAN_SIGN_PASSWORD_FILE: there is no password file" "$work/no-password.txt" \
        -DLUMIRAN_SIGN_PKCS12="$p12" -DLUMIRAN_SIGN_PASSWORD_FILE="$work/no-password.txt"
    # Root reads every file whatever its mode: the folder case above stands in.
    if [ "$(id -u)" -ne 0 ]; then
        cp "$password" "$work/locked.txt" && chmod 000 "$work/locked.txt"
        configure_fails "an unreadable password file" \
            "LUMIRAN_SIGN_PASSWORD_FILE: the password file cannot be read" "$work/locked.txt" \
            -DLUMIRAN_SIGN_PKCS12="$p12" -DLUMIRAN_SIGN_PASSWORD_FILE="$work/locked.txt"
        rm -f "$work/locked.txt"
    fi
    configure_fails "two ways of signing at once" "The image is signed in one way only" \
        "LUMIRAN_SIGN_PKCS12, and LUMIRAN_SIGN_PKCS11_MODULE" -DLUMIRAN_SIGN_PKCS12="$p12" -DLUMIRAN_SIGN_PKCS11_MODULE="$p12"
    configure_fails "a certificate and no way to sign" "LUMIRAN_SIGN_CERT is set, but no way to sign is" "" \
        -DLUMIRAN_SIGN_CERT="$cert/cert.pem"
    configure_fails "a command without @FILE@" "LUMIRAN_SIGN_COMMAND has no @FILE@" "" -DLUMIRAN_SIGN_COMMAND="sh;-c;true"
    configure_fails "a version with two numbers" 'LUMIRAN_VERSION: "2.2" is not a version' "" -DLUMIRAN_VERSION=2.2
    finish
}

# build_image DESCRIPTION on|off: configures, builds, or stops the test with the log.
build_image() {
    local log=$work/build-$2.log
    if ! { "signing_$2" "$log" && build "$log.build"; }; then
        cat "$log" "$log.build" 2>/dev/null | tail -n 40
        echo "FAIL: $1: the build failed"
        exit 1
    fi
}

# build_fails DESCRIPTION MESSAGE CONFIGURE [ARGS...]: configured by CONFIGURE
# LOG ARGS..., the build stops with the message and leaves no image.
build_fails() {
    local what=$1 message=$2 configure=$3 log=$work/build-failure.log
    shift 3
    rm -f "$log.build"
    if ! "$configure" "$log" "$@"; then fail "$what: the configuration failed"; sed 's/^/    /' "$log" | tail -n 15; return; fi
    if build "$log.build"; then fail "$what: the build went through"
    elif ! grep -qF "$message" "$log.build"; then fail "$what: no message '$message'"; sed 's/^/    /' "$log.build" | tail -n 25
    elif [ -e "$image" ]; then fail "$what: an image is left at $image"
    else ok "$what: the build stops, with no image left"; fi
}

# The signing command, at a path with spaces relative to where cmake starts:
# MODE FILE signs FILE in place with the throwaway PKCS#12 file, or fails in
# MODE's way.
signing_command() {
    (cd "$work" && configure "$1" -DLUMIRAN_SIGN_COMMAND="sign tools/sign image.sh;$mode;@FILE@" "${@:2}")
}
make_signing_command() {
    mkdir -p "$work/sign tools" && cat >"$work/sign tools/sign image.sh" <<EOF || exit 1
#!/bin/bash
mode=\$1 file=\$2 hash=sha256
flip() { dd if="\$file" bs=1 skip=\$1 count=1 | tr '\\000-\\377' '\\001-\\377\\000' | dd of="\$file" bs=1 seek=\$1 conv=notrunc; } 2>/dev/null
case \$mode in fails) exit 3 ;; signs-nothing) exit 0 ;; signs-another) file=\$file.copy; cp "\$2" "\$file" ;;
    another-program) cp "$tree/suite/Lumiran.exe" "\$file" ;; sha1) hash=sha1 ;; esac
osslsigncode sign -pkcs12 "$cert/cert.p12" -readpass "$cert/password.txt" -h \$hash -in "\$file" -out "\$file.new" &&
    mv "\$file.new" "\$file" || exit 1
case \$mode in alters) flip 4096 ;; breaks-signature) flip \$((\$(stat -c %s "\$file") - 20)) ;; appends) echo >>"\$file" ;; esac
EOF
    chmod +x "$work/sign tools/sign image.sh"
}

step_failures() {
    copy_source
    make_cert
    make_token
    printf 'wrong-pin\n' >"$work/wrong-pin.txt"
    # OpenSC's pkcs11-spy logs every call into the token: one login, no other.
    export PKCS11SPY=$module PKCS11SPY_OUTPUT=$work/spy.log
    local logins expected
    for expected in 1 0 1; do  # a wrong PIN, the same file again, the file changed
        rm -f "$work/spy.log"
        build_fails "a wrong PIN" "The token refused the PIN in $work/wrong-pin.txt" \
            signing_token /usr/lib/x86_64-linux-gnu/pkcs11-spy.so "$work/wrong-pin.txt"
        logins=$(cat "$work/spy.log" 2>/dev/null | grep -c C_Login)
        if [ "$logins" = $expected ]; then ok "the wrong PIN file was tried $expected time(s)"
        else fail "the wrong PIN file was tried $logins time(s), not $expected"; fi
        [ "$expected" = 1 ] || echo wrong-pin-2 >"$work/wrong-pin.txt"
    done

    make_signing_command
    mode=fails build_fails "a command that exits 3" "The command exited with 3." signing_command
    local unsigned_message="carries no Authenticode signature after signing" other="is not the image that was linked"
    mode=signs-nothing build_fails "a command that exits 0 without signing" "$unsigned_message" signing_command
    mode=signs-another build_fails "a command that signs another file" "$unsigned_message" signing_command
    mode=another-program build_fails "a command that signs another program in its place" "$other" signing_command
    mode=alters build_fails "a command that alters the image after signing" "$other" signing_command
    mode=breaks-signature build_fails "a command that breaks the signature" "does not verify with the certificate" signing_command
    mode=appends build_fails "a command that appends to the signed image" "bytes follow the signature" signing_command
    mode=sha1 build_fails "a command that signs with SHA-1" "The signature uses SHA1" signing_command
    mode=signs build_fails "a command that signs with another certificate" "another certificate than LUMIRAN_SIGN_CERT's" \
        signing_command -DLUMIRAN_SIGN_CERT="$token/cert.pem"
    mode=signs build_image "the command at a relative path with spaces" command
    if verify "$image" "$work/verify-command.log" "$cert/cert.pem"; then
        ok "the command at a relative path with spaces signed the image at a path with spaces"
    else fail "the command's image does not verify"; fi

    # The unsigned stand-in suite is warned of, a signed payload not.
    local signed_suite=$work/signed-suite.exe
    cp "$tree/suite/Lumiran.exe" "$signed_suite" && "$work/sign tools/sign image.sh" signs "$signed_suite" >/dev/null ||
        fail "cannot sign the stand-in suite"
    if [ -z "$suite" ] && ! grep -qF "The stand-in suite from suite/ is embedded" "$work/build-command.log"; then
        fail "the unsigned stand-in suite is not warned of"
    elif ! mode=signs suite=$signed_suite signing_command "$work/signed-suite.log" ||
         grep -qF "carries no Authenticode" "$work/signed-suite.log"; then fail "a signed payload is warned of"
    else ok "the unsigned stand-in suite is warned of, a signed payload not"; fi
    finish
}

step_build() {
    copy_source
    make_cert
    build_image "unsigned image" off
    if is_signed "$image"; then fail "the unsigned build carries a certificate table"; fi
    cp "$image" "$unsigned" || exit 1

    build_image "signed image" on
    if is_signed "$image"; then ok "signing on: the image carries a certificate table"
    else fail "signing on: the image has no certificate table"; fi
    if bom_hash_matches; then ok "signing on: the bill of materials carries the signed image's hash"
    else fail "signing on: the bill of materials does not carry the signed image's hash"; fi
    cp "$image" "$work/signed-first.exe" || exit 1

    build_image "unsigned again" off
    if cmp -s "$image" "$unsigned"; then ok "signing off: the image is the unsigned one again, byte for byte"
    else fail "signing off: the image differs from the first unsigned build"; fi
    if bom_hash_matches; then ok "signing off: the bill of materials carries the unsigned image's hash again"
    else fail "signing off: the bill of materials does not carry the unsigned image's hash"; fi

    # The same key without a password makes the same signature.
    build_image "signed again, without a password" on_without_password
    if cmp -s "$image" "$work/signed-first.exe"; then ok "signed twice with one SOURCE_DATE_EPOCH: byte-identical"
    else fail "two signed builds with one SOURCE_DATE_EPOCH differ"; fi

    # Through the token, timestamped by the third server: the first stalls, the second is down.
    make_token
    rm -rf "$tsa" && mkdir -p "$tsa" || exit 1
    /usr/bin/python3 "$src/tests/signing/tsa.py" "$tsa" >"$tsa/port" 2>"$tsa/log" &
    trap "kill $!" EXIT
    for _ in $(seq 100); do [ -s "$tsa/port" ] && break; sleep 0.1; done
    build_image "signed through the token" timestamped
    if [ -s "$tsa/stalled.log" ]; then ok "the stalled server, first in the list, was asked first"
    else fail "the stalled server, first in the list, was never asked"; fi
    if [ ! -s "$work/osslsigncode.args" ] ||
       grep -rqF "$(<"$token/pin.txt")" "$tree" "$work"/build-*.log* "$work/osslsigncode.args"; then
        fail "the PIN is in the tree, the build's output or osslsigncode's arguments"
    else ok "the PIN is nowhere in the tree, the build's output or osslsigncode's arguments"; fi

    # Killed outright (the build's process group) right after the image's link.
    printf '#!/bin/sh\n"$@" || exit\ncase "$*" in *Lumiran-Setup-*) [ -e "%s" ] || { touch "%s"; kill -KILL 0; } ;; esac\n' \
        "$work/killed" "$work/killed" >"$work/link-then-kill" && chmod +x "$work/link-then-kill" && rm -f "$work/killed"
    signing_timestamped "$work/build-killed.log" -DCMAKE_CXX_LINKER_LAUNCHER="$work/link-then-kill"
    setsid -w cmake --build "$tree" --target lumiran_setup >"$work/build-killed.log.build" 2>&1
    if [ ! -e "$work/killed" ] || { [ -e "$image" ] && ! is_signed "$image"; }; then
        fail "a build killed right after the link left an unsigned image, or was not killed"
    fi
    build_image "the build after the kill" timestamped
    if verify "$image" "$work/verify-after-kill.log"; then ok "a build killed after the link: the next one signs"
    else fail "the build after the kill left an image that does not verify"; fi
    mv "$token/pin.txt" "$token/pin.away" && build "$work/build-no-pin.log" || fail "the PIN file gone breaks a build with nothing to sign"
    mv "$token/pin.away" "$token/pin.txt"
    finish
}

step_verify() {
    local log=$work/verify.log
    if verify "$image" "$log" && grep -q "^Timestamp Server Signature verification: ok" "$log"; then
        ok "osslsigncode verifies the signature against the token's certificate, and its timestamp"
    else
        fail "osslsigncode does not verify the signature and its timestamp"; sed 's/^/    /' "$log" | tail -n 20
    fi
    local expected
    expected=$(openssl x509 -in "$token/cert.pem" -noout -subject -nameopt compat | sed 's/^subject=//')
    if grep -qF "Subject: $expected" "$log"; then ok "the signer is $expected"
    else fail "the signer is not $expected"; grep 'Subject:' "$log" | sed 's/^/    /'; fi
    finish
}

# resources_of IMAGE DIR: every resource of IMAGE, raw, in DIR, and the listing.
resources_of() {
    rm -rf "$2" && mkdir -p "$2/raw"
    cp "$1" "$2/$image_name"
    wrestool -l "$2/$image_name" >"$2/list.txt" &&
        wrestool -x --raw -o "$2/raw" "$2/$image_name"
}

step_resources() {
    resources_of "$unsigned" "$work/res-unsigned" || { fail "wrestool cannot read the unsigned image"; finish; }
    resources_of "$image" "$work/res-signed" || { fail "wrestool cannot read the signed image"; finish; }
    if cmp -s "$work/res-unsigned/list.txt" "$work/res-signed/list.txt"; then
        ok "wrestool lists the same $(wc -l <"$work/res-signed/list.txt") resources"
    else
        fail "the resource lists differ"; diff "$work/res-unsigned/list.txt" "$work/res-signed/list.txt" | sed 's/^/    /'
    fi
    local kind
    for kind in "--type=10 --name=201" "--type=16 --name=1"; do
        # shellcheck disable=SC2086
        if wrestool -x --raw $kind "$work/res-signed/$image_name" >"$work/res-signed/one" &&
           wrestool -x --raw $kind "$work/res-unsigned/$image_name" >"$work/res-unsigned/one" &&
           [ -s "$work/res-signed/one" ] && cmp -s "$work/res-signed/one" "$work/res-unsigned/one"; then
            ok "resource $kind: $(stat -c %s "$work/res-signed/one") bytes, unchanged"
        else
            fail "resource $kind is missing or differs"
        fi
    done
    if diff -r "$work/res-unsigned/raw" "$work/res-signed/raw" >/dev/null; then
        ok "all $(ls "$work/res-signed/raw" | wc -l) resources unchanged, byte for byte"
    else
        fail "some resource differs"; diff -rq "$work/res-unsigned/raw" "$work/res-signed/raw" | sed 's/^/    /'
    fi

    # Byte for byte: only the header checksum and the Security directory
    # entry may differ; the certificate table follows the unsigned bytes.
    local pe size offset table
    pe=$(od -An -tu4 -j60 -N4 "$unsigned" | tr -d ' ')
    size=$(stat -c %s "$unsigned")
    read -r offset table < <(security_directory "$image")
    offset=$((16#$offset))
    local stray
    stray=$(cmp -l "$unsigned" "$image" 2>/dev/null | awk -v c=$((pe + 88)) -v s=$((pe + 168)) \
        '{ o = $1 - 1; if (!((o >= c && o < c + 4) || (o >= s && o < s + 8))) n++ } END { print n + 0 }')
    if [ "$stray" -eq 0 ]; then ok "outside the checksum and the Security entry the unsigned bytes are unchanged"
    else fail "$stray byte(s) of the unsigned image changed outside the checksum and the Security entry"; fi
    if [ "$offset" -ge "$size" ] && [ $((offset + 16#$table)) -eq "$(stat -c %s "$image")" ]; then
        ok "the certificate table ($((16#$table)) bytes) is appended after the $size unsigned bytes"
    else
        fail "the certificate table at $offset does not follow the $size unsigned bytes to the end of the file"
    fi
    finish
}

step_install() {
    # shellcheck source=../wine/prefix.sh
    . "$src/tests/wine/prefix.sh"
    require_display
    export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    local wine=${WINE:-/usr/lib/wine/wine64}
    fresh_prefix "$wine_dir"
    mkdir -p "$WINEPREFIX/drive_c/Downloads"
    cp "$image" "$WINEPREFIX/drive_c/Downloads/$image_name" || exit 1
    (cd "$WINEPREFIX/drive_c/Downloads" && "$wine" "C:\\Downloads\\$image_name" /S)
    local rc=$? user
    if [ $rc -eq 0 ]; then ok "the silent install of the signed image exits with 0"
    else fail "the silent install of the signed image exits with $rc"; fi
    user=$(prefix_user)
    local dir=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Lumiran
    local payload=${suite:-$tree/suite/Lumiran.exe}
    if cmp -s "$dir/Lumiran.exe" "$payload"; then ok "Lumiran.exe is written, the payload byte for byte"
    else fail "Lumiran.exe is missing or not the payload"; fi
    if cmp -s "$dir/Lumiran-Uninstall.exe" "$image" && verify "$dir/Lumiran-Uninstall.exe" "$work/verify-uninstaller.log"; then
        ok "Lumiran-Uninstall.exe is the signed image, byte for byte, and verifies"
    else fail "Lumiran-Uninstall.exe is missing, not the signed image or does not verify"; fi
    finish
}

case $step in
    configure-errors) step_configure_errors ;;
    failures) step_failures ;;
    build) step_build ;;
    verify) step_verify ;;
    resources) step_resources ;;
    install) step_install ;;
    *) echo "unknown step '$step'"; exit 2 ;;
esac
