#!/bin/sh
# Usage: packaging/make-msi.sh OUT.msi VERSION DISPLAY_VERSION KELVANE_EXE BRANTELVIO_DLL
#                              SERVICE_EXE INSTALL_ACTIONS_DLL
# Builds the Windows Installer package from packaging/kelvane.wxs with wixl, then adds to
# its tables what wixl's subset of WiX cannot say.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$1 version=$2 display=$3 exe=$4 board=$5 service=$6 actions=$7
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
tmp="$out.tmp"
stage="$out.stage"
rm -rf "$tmp" "$stage"
mkdir -p "$stage/docs"
cp "$here/kelvane.wxs" "$exe" "$board" "$service" "$actions" "$stage/"
# The package starts Kelvane at logon by default (AUTOSTART): its settings file says so from
# the start, so that a fresh installation needs no write and a kept file keeps its choice.
sed 's/^ExecuteAtStartup=0\r*$/ExecuteAtStartup=2\r/' "$root/dist/kelvane.ini" >"$stage/kelvane.ini"
grep -q '^ExecuteAtStartup=2' "$stage/kelvane.ini"
# Notepad on the older Windows versions shows LF-only text as one line.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf "$root/docs/install.md" "$stage/docs/install.txt"
crlf "$root/docs/options.md" "$stage/docs/options.txt"
crlf "$root/docs/settings.md" "$stage/docs/settings.md"
crlf "$root/docs/fleet.md" "$stage/docs/fleet.md"
cp "$here/prometheus/kelvane.rules.yml" "$here/grafana/kelvane.json" "$stage/docs/"
(cd "$stage" && wixl -a x86 -o "$tmp" -D Version="$version" -D DisplayVersion="$display" kelvane.wxs)
rm -rf "$stage"

q() { msibuild "$tmp" -q "$1"; }
# The technician's kelvane.ini survives a reinstall and an upgrade: never-overwrite (128)
# skips the component whenever its key file is already there. It survives an uninstall too
# (permanent, 16), so that a remove-and-reinstall keeps the site's settings.
q "UPDATE \`Component\` SET \`Attributes\` = 144 WHERE \`Component\` = 'Settings'"
# DRIVER="D:\path\brantelvio.dll" copies the chip maker's library into the program folder;
# without DRIVER the row does nothing. The copy is removed with the program.
q "CREATE TABLE \`MoveFile\` (\`FileKey\` CHAR(72) NOT NULL, \`Component_\` CHAR(72) NOT NULL, \`SourceName\` CHAR(255) LOCALIZABLE, \`DestName\` CHAR(255) LOCALIZABLE, \`SourceFolder\` CHAR(72), \`DestFolder\` CHAR(72) NOT NULL, \`Options\` INT NOT NULL PRIMARY KEY \`FileKey\`)"
q "INSERT INTO \`MoveFile\` (\`FileKey\`, \`Component_\`, \`DestName\`, \`SourceFolder\`, \`DestFolder\`, \`Options\`) VALUES ('Driver', 'Program', 'brantelvio.dll', 'DRIVER', 'INSTALLDIR', 0)"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('MoveFiles', 3800)"
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemoveDriver', 'Program', 'brantelvio.dll', 'INSTALLDIR', 2)"
# METRICSFILE sets only [Export] TextFile of kelvane.ini, whether the file was just laid down
# or kept. The component re-evaluates its condition at every install (transitive, 64; its key
# is a registry value, 4), so a reinstall or upgrade with a new METRICSFILE writes that one.
q "UPDATE \`Component\` SET \`Attributes\` = 68, \`Condition\` = 'METRICSFILE' WHERE \`Component\` = 'MetricsSetting'"
q "CREATE TABLE \`IniFile\` (\`IniFile\` CHAR(72) NOT NULL, \`FileName\` CHAR(255) NOT NULL LOCALIZABLE, \`DirProperty\` CHAR(72), \`Section\` CHAR(96) NOT NULL LOCALIZABLE, \`Key\` CHAR(128) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) NOT NULL LOCALIZABLE, \`Action\` SHORT NOT NULL, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`IniFile\`)"
q "INSERT INTO \`IniFile\` (\`IniFile\`, \`FileName\`, \`DirProperty\`, \`Section\`, \`Key\`, \`Value\`, \`Action\`, \`Component_\`) VALUES ('MetricsTextFile', 'kelvane.ini', 'INSTALLDIR', 'Export', 'TextFile', '[METRICSFILE]', 0, 'MetricsSetting')"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveIniValues', 3100)"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteIniValues', 5100)"
# The fans' power-on values noted in this boot go with the program, so that the data folder can.
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemovePowerOn', 'MetricsFolder', 'power-on.ini', 'KELVANEDATA', 2)"
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemovePowerOnTemp', 'MetricsFolder', 'power-on.ini.tmp', 'KELVANEDATA', 2)"
q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemoveKelvaneData', 'MetricsFolder', 'KELVANEDATA', 2)"
# The cashier's account may write the metrics folder: full access for SYSTEM and
# Administrators, modify for Users (Windows Installer 5, Windows 7 and later).
q "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('MetricsRights', 'METRICSDIR', 'CreateFolder', 'D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)')"
# The service component is chosen by SERVICE at every install (transitive, 64), so that a
# reinstall or an upgrade can switch the terminal between the service and the window program.
q "UPDATE \`Component\` SET \`Attributes\` = 64, \`Condition\` = 'SERVICE <> \"0\"' WHERE \`Component\` = 'Service'"
q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;METRICSFILE;SERVICE;AUTOSTART' WHERE \`Property\` = 'SecureCustomProperties'"
# Remove the old version only after the new one is in place, so that components the two
# share (the settings file above all) are handed over instead of removed and laid anew.
q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6650 WHERE \`Action\` = 'RemoveExistingProducts'"
# The settings and fleet guides were docs\settings.txt and docs\fleet.txt before; the old
# version's removal keeps the docs component it shares with this one, so the old names are
# removed here (on install, 1).
for old in settings fleet; do
    q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('RemoveOld_$old', 'NamedGuides', '$old.txt', 'DOCSDIR', 1)"
done
mv "$tmp" "$out"
