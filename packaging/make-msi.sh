#!/bin/sh
# Usage: packaging/make-msi.sh OUT.msi VERSION DISPLAY_VERSION KELVANE_EXE BRANTELVIO_DLL
# Builds the Windows Installer package from packaging/kelvane.wxs with wixl, then adds to
# its tables what wixl's subset of WiX cannot say.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$1 version=$2 display=$3 exe=$4 board=$5
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
tmp="$out.tmp"
stage="$out.stage"
rm -rf "$tmp" "$stage"
mkdir -p "$stage/docs"
cp "$here/kelvane.wxs" "$exe" "$board" "$root/dist/kelvane.ini" "$stage/"
# Notepad on the older Windows versions shows LF-only text as one line.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf "$root/docs/install.md" "$stage/docs/install.txt"
crlf "$root/docs/options.md" "$stage/docs/options.txt"
crlf "$root/docs/settings.md" "$stage/docs/settings.md"
(cd "$stage" && wixl -a x86 -o "$tmp" -D Version="$version" -D DisplayVersion="$display" kelvane.wxs)
rm -rf "$stage"

q() { msibuild "$tmp" -q "$1"; }
# The technician's kelvane.ini survives a reinstall and an upgrade: never-overwrite (128)
# skips the component whenever its key file is already there.
q "UPDATE \`Component\` SET \`Attributes\` = 128 WHERE \`Component\` = 'Settings'"
# DRIVER="D:\path\brantelvio.dll" copies the chip maker's library into the program folder;
# without DRIVER the row does nothing. The copy is removed with the program.
q "CREATE TABLE \`MoveFile\` (\`FileKey\` CHAR(72) NOT NULL, \`Component_\` CHAR(72) NOT NULL, \`SourceName\` CHAR(255) LOCALIZABLE, \`DestName\` CHAR(255) LOCALIZABLE, \`SourceFolder\` CHAR(72), \`DestFolder\` CHAR(72) NOT NULL, \`Options\` INT NOT NULL PRIMARY KEY \`FileKey\`)"
q "INSERT INTO \`MoveFile\` (\`FileKey\`, \`Component_\`, \`DestName\`, \`SourceFolder\`, \`DestFolder\`, \`Options\`) VALUES ('Driver', 'Program', 'brantelvio.dll', 'DRIVER', 'INSTALLDIR', 0)"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('MoveFiles', 3800)"
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemoveDriver', 'Program', 'brantelvio.dll', 'INSTALLDIR', 2)"
# Remove the old version only after the new one is in place, so that components the two
# share (the settings file above all) are handed over instead of removed and laid anew.
q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6650 WHERE \`Action\` = 'RemoveExistingProducts'"
# The settings guide was docs\settings.txt before; the old version's removal keeps the docs
# component it shares with this one, so the old name is removed here (on install, 1).
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemoveOldSettingsDoc', 'SettingsDoc', 'settings.txt', 'DOCSDIR', 1)"
mv "$tmp" "$out"
