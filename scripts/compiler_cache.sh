# Sourced by the build scripts: one compiler cache for every build folder, every clone and CI.
# Paths are hashed relative to the clone, so a clone in another folder reuses what this one compiled.
if [ -z "${CCACHE_DIR:-}" ]; then
  if [ -w /var/cache ] || [ -w /var/cache/zorinput-ccache ]; then
    CCACHE_DIR=/var/cache/zorinput-ccache
  else
    CCACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/zorinput-ccache
  fi
fi
export CCACHE_DIR
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-10G}
mkdir -p "$CCACHE_DIR"
