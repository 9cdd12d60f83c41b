# The Debian package: `cmake --build build --target package` writes
# build/zentrova-dictate_<version>_<arch>.deb. It holds what `cmake --install`
# installs (the tool and its manual page) and the copyright file that Debian
# wants of every package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentrova-dictate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT
    "zentrova-dictate maintainers <maintainers@users.noreply.c-seed-7781f5ac.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "offline dictation helper for desktop applications")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# The libraries it links, with their versions, from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What it reads that no link shows: the US English model (the embedded
# default recognizer), the word lists that give names their capitals, and
# ALSA's pulse plugin, the road to the microphone on a PulseAudio or
# PipeWire desktop.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "pocketsphinx-en-us, wamerican-small, wamerican, wamerican-large, libasound2-plugins")

# Debian's copyright file from LICENSE, for the package only: `cmake
# --install` puts nothing but the tool and its manual page in place.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(STRIP "${license}" license)
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n" "\n " license "${license}")
set(package_doc ${PROJECT_BINARY_DIR}/package-doc)
file(WRITE ${package_doc}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: zentrova-dictate\n\n"
     "Files: *\n"
     "Copyright: 2026 the zentrova-dictate authors\n"
     "License: MIT\n ${license}\n")
# The destination is relative to the package's root, not to its prefix.
set(CPACK_INSTALLED_DIRECTORIES ${package_doc} usr/share/doc/zentrova-dictate)

include(CPack)
