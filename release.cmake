# The release's numbers, set here and nowhere else. The program's version
# record and window caption, the manifest, the model table's row for the
# Orvane and its release list, and the placeholder images all follow them.
# With real images (ORVANE_REAL_IMAGES_DIR) they must describe those files:
# the build checks the X-Loader's text against ORVANE_XLOADER_VERSION; the
# other numbers cannot be read from the files and are the maintainer's word.

# The application code carried: its version, written as the program shows it
# (hexadecimal digits: major.minor.patch), and its build. The build is also
# the program's own: version record 1.<build>.0.0 (the first number is the
# application's major), caption "Orvane Update - Build:  <build>".
set(ORVANE_APP_VERSION 1.00.00)
set(ORVANE_APP_BUILD 35680)

# The boot code carried; sent to a writer whose boot code is older by either number.
set(ORVANE_BOOT_VERSION 1.00.00)
set(ORVANE_BOOT_BUILD 35673)

# The keyboard scanner's version: the scanner step runs for writers that
# report a lower one.
set(ORVANE_SCANNER_VERSION 14760)

# The version number in the X-Loader's text ("X-Loader 1.5.4 (...)").
set(ORVANE_XLOADER_VERSION 1.5.4)
