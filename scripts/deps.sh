# Sourced by the scripts: the Debian packages the build needs, installed or named; the build.
VELMORA_BUILD_PACKAGES="g++ cmake ninja-build pkg-config clang-format libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev fonts-dejavu-core zip unzip p7zip-full"
# The Windows leg (scripts/test-windows): the cross compiler (posix threads), GoogleTest's
# sources, Wine to run the tests, its fonts, a display for the windows, the Russian locale's
# sources.
VELMORA_WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine xvfb xauth locales"

# velmora_missing_packages [packages...]: prints those of the list (VELMORA_PACKAGES when none
# is named) that are not installed, each after a space.
velmora_missing_packages() {
    local p
    for p in ${*:-$VELMORA_PACKAGES}; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf ' %s' "$p"
    done
}

# velmora_require_deps [packages...]: names the missing ones and the line that installs them,
# and stops; installs nothing.
velmora_require_deps() {
    local missing
    missing="$(velmora_missing_packages "$@")"
    [ -z "$missing" ] && return 0
    echo "Velmora needs these Debian packages:$missing" >&2
    echo "Install them as root with:" >&2
    echo "  apt-get update && apt-get install -y$missing" >&2
    exit 1
}

# velmora_install_deps [packages...]: those of the list that are missing (VELMORA_PACKAGES
# when none is named), installed as root; as another user, named as velmora_require_deps does.
velmora_install_deps() {
    local missing
    missing="$(velmora_missing_packages "$@")"
    [ -z "$missing" ] && return 0
    [ "$(id -u)" -ne 0 ] && velmora_require_deps "$@"
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q || exit 1
    apt-get install -y -q $missing || exit 1
}

# velmora_compiler_launcher: sets VELMORA_LAUNCHER to the cmake options that compile through
# ccache when the machine has it (nothing otherwise). Its cache (in the user's home) outlives a
# clean clone, and paths inside the clone are taken relative to it, so another clone of the same
# sources hits it too.
velmora_compiler_launcher() {
    VELMORA_LAUNCHER=()
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR="$VELMORA_ROOT" CCACHE_NOHASHDIR=1
        VELMORA_LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
}

# velmora_build DIR BUILD_TYPE [cmake options...]: configures DIR with the options given and
# builds it, through ccache when present.
velmora_build() {
    local dir="$1" type="$2"
    shift 2
    velmora_compiler_launcher
    cmake -S "$VELMORA_ROOT" -B "$VELMORA_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${VELMORA_LAUNCHER[@]}" "$@" || exit 1
    cmake --build "$VELMORA_ROOT/$dir" -j "$(nproc)" || exit 1
}

# Every source file of ours as .clang-format has it; the generated case table is left as it comes.
velmora_check_format() {
    (cd "$VELMORA_ROOT" && git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' |
        grep -v 'CaseFoldTable.h$' | xargs clang-format --dry-run --Werror)
}

# What scripts/run, scripts/test and scripts/package install: the build's, and for the package
# test (scripts/test-package) dpkg-shlibdeps, lintian and the two validators, man to render the
# manual page, and ntfs-3g to mount a real NTFS volume for the installed program to find.
VELMORA_PACKAGES="$VELMORA_BUILD_PACKAGES dpkg-dev lintian desktop-file-utils appstream man-db groff-base ntfs-3g"
# The volume test (tests/posix): ext4 and FAT images made and mounted through loop devices.
VELMORA_PACKAGES="$VELMORA_PACKAGES e2fsprogs dosfstools mount util-linux"
