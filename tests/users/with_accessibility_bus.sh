#!/bin/sh
# Runs a test on a private D-Bus session with an accessibility (AT-SPI) bus of its own. When
# either cannot start here, the test runs without them and skips, saying why.
test_program="$1"
launcher=/usr/libexec/at-spi-bus-launcher
if ! command -v dbus-run-session >/dev/null 2>&1; then
    PARLANTO_NO_ACCESSIBILITY_BUS="dbus-run-session is not installed (dbus)" exec "$test_program"
fi
if [ ! -x "$launcher" ]; then
    PARLANTO_NO_ACCESSIBILITY_BUS="$launcher is not installed (at-spi2-core)" exec "$test_program"
fi
exec dbus-run-session -- sh -c '"$1" --launch-immediately & sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$2"' \
    sh "$launcher" "$test_program"
