# The Debian packages: cpack -G DEB in the build directory writes, under /usr,
# - kelvora-cli_<version>_<arch>.deb: kelvora-cli, the program its reach-map subcommand runs
#   (lib/kelvora/kelvora-reach-map) and its manual page (the install component cli),
#   which needs no Qt and so installs on a machine without a desktop;
# - kelvora_<version>_<arch>.deb: the window, its desktop entry, icons and AppStream metadata (the
#   component window, only when the window is built), depending on kelvora-cli of the same version.
# - python3-kelvora_<version>_<arch>.deb: the Python package kelvora for Debian's python3 (the
#   component python, only when the Python module is built), depending on numpy.
# All have the project's description as their summary line. Their other dependencies are read
# from the programs' shared libraries by dpkg-shlibdeps (Debian: dpkg-dev).
set(KELVORA_PACKAGE_MAINTAINER "Kelvora developers <kelvora-devel@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VENDOR "Kelvora developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(KELVORA_GUI)
    list(APPEND CPACK_COMPONENTS_ALL window)
endif()
if(KELVORA_PYTHON_MODULE)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A component's DEPENDS becomes a Depends on that package at this very version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME kelvora-cli)
# The reach map figure's labels are drawn in the font fontconfig finds; this one is always there.
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "kelvora-cli solves the inverse kinematics of a planar three-link arm with a genetic algorithm,
without a window: single runs reproducible from a seed, logged to CSV files; the optimum of the
search space for a target and the reach map of the plot; sweeps over parameter lists, targets and
seeds on every core, in shards across machines and merged afterwards. It needs no desktop:
no Qt and no display.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME kelvora)
set(CPACK_COMPONENT_WINDOW_DEPENDS cli)
# Qt's own dialogs (file dialogs, standard buttons) in the window's Japanese.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
    "Kelvora solves the inverse kinematics of a planar three-link arm with a genetic algorithm and lets
you watch it do so: click a target, set the population size, the generation limit, the crossover
rate and the mutation probability, and follow the best arms as the search goes. Every individual of
every generation is logged to CSV files. kelvora-cli (its own package) runs the same search without
a window.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kelvora)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# The module is built for this very interpreter version (its file name says cpython-311).
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${KELVORA_PYTHON_NEXT_MINOR}), python3-numpy")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "The Python package kelvora runs Kelvora's search for the inverse kinematics of a planar three-link
arm from Python and Jupyter: every generation of a run as numpy arrays, the result files byte for
byte as kelvora-cli writes them, sweeps and their statistical comparison, a mutation operator of
your own, and the exact ground truth of a target (its optimum, every pose's distance, the
landscape's local optima and basins).")

include(CPack)
