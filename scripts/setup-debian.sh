#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the program, the
# Debian package (scripts/package.sh) and the coverage report use.
# Idempotent; runs as root, or through sudo when it is not root.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev
  postgresql odbc-postgresql libpq-dev
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core desktop-file-utils
  dpkg-dev help2man lintian appstream gcovr
)

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The SQLite ODBC driver registers itself as "SQLite3"; make sure it is there
# even where the package's post-install step did not run.
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
  lib=$(find /usr/lib -name libsqlite3odbc.so 2>/dev/null | head -n 1)
  if [ -n "$lib" ]; then
    printf '[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%s\nSetup=%s\nUsageCount=1\n' \
      "$lib" "$lib" | $SUDO odbcinst -i -d -r >/dev/null
  fi
fi

# Likewise the PostgreSQL driver as "PostgreSQL Unicode" (scripts/pg-test.sh).
if ! odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null 2>&1; then
  lib=$(find /usr/lib -name psqlodbcw.so 2>/dev/null | head -n 1)
  if [ -n "$lib" ]; then
    printf '[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode)\nDriver=%s\nSetup=%s\nUsageCount=1\n' \
      "$lib" "$(dirname "$lib")/libodbcpsqlS.so" | $SUDO odbcinst -i -d -r >/dev/null
  fi
fi
