# The Debian package `make package` builds: the programs, their manual
# pages and everything data/ installs, in /usr. Its dependencies come from
# the libraries the programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel developers <vantrel@users.noreply.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "retune a receiver to weather satellites as they pass")
set(CPACK_PACKAGE_DESCRIPTION [=[
Vantrel retunes a receiver to weather satellites as they pass: an Icom
PCR-1000 on a serial port, or over the network any radio Hamlib's rigctld
drives, gqrx or SDR++. It reads the pass predictions WxTrack writes to
PassList.txt, or that vantrel-predict writes there, and, as each pass
begins and ends, sends the receiver the satellite's settings from
Vantrel.ini: frequency, mode, filter, volume, squelch and noise reduction.

The package holds the program with its window and a headless mode (with
a systemd user unit), vantrel-predict, which predicts the passes from
element sets and writes PassList.txt (with a daily systemd user timer),
vantrel-check, which checks the files and the serial port with Vantrel's
own code, and pcr1000-sim, a simulated receiver on a pseudo-terminal.]=])
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
