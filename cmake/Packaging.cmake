# The Debian package, made by scripts/package.sh with CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME textorin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Textorin developers")
set(CPACK_PACKAGE_CONTACT "The Textorin developers <${TEXTORIN_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save the text of web pages as plain-text files")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The browser engine is started as a program, and ping makes the window's
# start-up check; neither shows as a linked library.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "chromium-headless-shell | chromium, iputils-ping, poppler-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libnss3-tools")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Textorin turns a list of web-page addresses into text files. Fill the list
in its window (typed, loaded from a text file, or dropped), name a
destination folder and start: every page is loaded in a hidden Chromium,
allowed to settle, and its text is saved in a file named after its address.
A page that cannot be had is reported with its address and writes no file.
.
textorin-batch does the same for scripts and long lists: several pages at
once, retries, an archive to resume from, a JSON Lines report, and Markdown,
HTML or JSON output, or only a page's main article.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
