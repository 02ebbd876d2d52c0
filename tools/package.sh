#!/usr/bin/env bash
# Builds the Windows Installer packages: build/package/Tavelo-<version>.msi from the i686 build
# and Tavelo-<version>-x64.msi from the x86_64 build, prints one line for each, and checks that
# the two install the same: the i686 one cannot be tried here (this machine starts no 32-bit
# programs), so its tables are compared with those of the x64 one, which the tests install.
set -euo pipefail
cd "$(dirname "$0")/.."
logdir=build/test-logs
mkdir -p "$logdir"
for preset in win32 win64; do
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target tavelo_package; } \
        >"$logdir/package-$preset.log" 2>&1; then
        tail -n 30 "$logdir/package-$preset.log"
        echo "package: $preset failed" >&2
        exit 1
    fi
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
x86="build/package/Tavelo-$version.msi"
x64="build/package/Tavelo-$version-x64.msi"
for msi in "$x86" "$x64"; do
    files=$(msiinfo export "$msi" File | tail -n +4 | wc -l)
    echo "package: file=$(basename "$msi") bytes=$(stat -c %s "$msi") files=$files"
done

# A table as both builds must have it: the folder names, the 64-bit flags, the product code and
# the program's size are what may differ.
table() {
    local columns
    case $2 in
        File) columns=1-3,5- ;;        # not FileSize
        Component) columns=1,3,5- ;;   # not the GUID nor the 64-bit attribute
        RegLocator) columns=1-4 ;;     # not the 64-bit search flag
        *) columns=1- ;;
    esac
    msiinfo export "$1" "$2" | cut -f "$columns" | grep -v '^ProductCode' |
        sed -e 's/ProgramFiles64Folder/ProgramFilesFolder/g' -e 's/System64Folder/SystemFolder/g' |
        sort
}
tables=(File Component Directory Shortcut Registry RegLocator AppSearch Property Upgrade
        LaunchCondition CustomAction InstallExecuteSequence Feature FeatureComponents)
different=()
for t in "${tables[@]}"; do
    diff <(table "$x86" "$t") <(table "$x64" "$t") >"$logdir/package-$t.diff" ||
        different+=("$t")
done
if [ ${#different[@]} -gt 0 ]; then
    echo "package: the i686 and x64 packages differ in: ${different[*]} (see $logdir/package-*.diff)"
    exit 1
fi
echo "package: the i686 package has the x64 package's ${#tables[@]} tables"
