# The Debian package: cpack -G DEB in the build directory writes kelvora_<version>_amd64.deb with
# everything `cmake --install` installs, under /usr. Its dependencies are read from the programs'
# shared libraries by dpkg-shlibdeps (Debian: dpkg-dev).
set(KELVORA_PACKAGE_MAINTAINER "Kelvora developers <kelvora-devel@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VENDOR "Kelvora developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvora solves the inverse kinematics of a planar three-link arm with a genetic algorithm and lets
you watch it do so: click a target, set the population size, the generation limit, the crossover
rate and the mutation probability, and follow the best arms as the search goes. Every individual of
every generation is logged to CSV files. kelvora-cli runs the same search without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
