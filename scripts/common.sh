# Shared by scripts/run and scripts/test: installs missing Debian packages, then configures
# and builds one build tree incrementally.
set -euo pipefail

PARLIVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PARLIVO_ROOT}

parlivo_install_packages() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' "$PARLIVO_ROOT/scripts/packages.txt")
    for package in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
            return 1
        fi
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# parlivo_configure DIR [CMAKE ARGS...]: configures DIR once.
parlivo_configure() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        local launcher=()
        # Several checkouts of the tree share one compiler cache when ccache is there.
        if command -v ccache >/dev/null; then
            launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        fi
        cmake -S "$PARLIVO_ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@"
    fi
}

# parlivo_build DIR [CMAKE ARGS...]: configures DIR once, then builds it incrementally.
parlivo_build() {
    parlivo_configure "$@"
    cmake --build "$1" --parallel "$(nproc)"
}
