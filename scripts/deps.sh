#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where they are missing.
# Usage: scripts/deps.sh build|test
set -euo pipefail

# qt6-image-formats-plugins: the TIFF photos of Apple exports and the WebP ones of newer programs.
# libxlsxwriter-dev (found through pkg-config): the spreadsheet export; libqrencode-dev: the contact's QR code.
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-translations-l10n qt6-image-formats-plugins
          libxlsxwriter-dev libqrencode-dev)
if [ "${1:-build}" = test ]; then
    packages+=(xvfb xauth xdotool xclip imagemagick x11-utils fonts-dejavu-core desktop-file-utils
               clang libclang-rt-14-dev clang-format
               at-spi2-core python3-pyatspi dbus-daemon
               dpkg-dev file lintian appstream
               poppler-utils unzip
               zbar-tools # zbarimg reads the QR code back as a phone camera would
               passwd     # useradd, for the user below
               locales python3-openpyxl  # an export under a German desktop's locale, read back strictly
               libreoffice-calc-nogui    # opens the CSV export as a user's spreadsheet would
               # Other contact programs read the vCard export back (tests/peers): a CardDAV server, the
               # Python and Java vCard libraries (ez-vcard needs vinnie beside it, and its one-file
               # check needs a JDK's compiler), and khard over the folder export.
               radicale python3-vobject libez-vcard-java libvinnie-java default-jdk-headless khard
               # Calendar programs read the birthday calendar back: a Python iCalendar library, and khal
               # lists its events as a user's calendar would.
               python3-icalendar khal)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Root passes every permission check: run by root, the tests run their rows about refused files and
# folders as this unprivileged user instead (tests/support/privilege.h).
if [ "${1:-build}" = test ] && [ "$(id -u)" -eq 0 ] && ! getent passwd tovanel-test >/dev/null; then
    echo "Adding the system user tovanel-test"
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin tovanel-test
fi

# Our users run German desktops: the end-to-end tests export under de_DE.UTF-8, which a Debian system
# has only once it is generated.
if [ "${1:-build}" = test ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    echo "Generating the locale de_DE.UTF-8"
    $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
