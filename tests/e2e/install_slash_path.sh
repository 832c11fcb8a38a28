#!/bin/bash
# Only the arguments are searched for switches, not the program's name:
# started by a forward-slash path that contains "/s", quoted or not, the
# setup program shows its welcome dialog. The same path as an argument does
# make the run silent.
source "$(dirname "$0")/lib.sh" "$1"

mkdir -p "$WINEPREFIX/drive_c/setups/x"
cp "$SETUP_EXE" "$WINEPREFIX/drive_c/setups/x/Lumiran-Setup.exe"
setup_path=C:/setups/x/Lumiran-Setup.exe

for form in bare quoted; do
    if [ $form = bare ]; then line=$setup_path; else line="\"$setup_path\""; fi
    drv run-line "$line" >"$E2E_TMP/$form.txt" &
    setup=$!
    check "$form: the welcome dialog appears" drv dialog-click 2
    join $setup
    expect "$form: exit code after cancel" "$(exit_code_of "$E2E_TMP/$form.txt")" 0
    expect "$form: it was the only window" "$(windows_of "$E2E_TMP/$form.txt")" \
        "window #32770 $WELCOME_TITLE"
    check_not "$form: nothing installed" test -e "$INSTALL_DIR"
done

drv run-line "$setup_path C:/setup/files" >"$E2E_TMP/argument.txt"
expect "as an argument: silent install, exit code" "$(exit_code_of "$E2E_TMP/argument.txt")" 0
expect "as an argument: no window" "$(windows_of "$E2E_TMP/argument.txt")" ""
check "as an argument: installed" test -f "$INSTALL_DIR/Lumiran.exe"

finish
