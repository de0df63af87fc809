# The Debian packages gaussian-noise (the tool) and python3-gaussian-noise
# (the Python module), built by CPack's DEB generator from the install
# components tool and python (`cmake --workflow --preset package`). The
# packages lay files out as Debian wants them: the man page and the changelog gzipped with -9n (no name or
# time stamp, so the bytes depend only on the sources), the licence as the
# copyright file, and a stripped binary whose dependencies dpkg-shlibdeps
# reads from the libraries it links.
set(package_name gaussian-noise)
set(package_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${package_name})
set(GAUSSIAN_NOISE_MAINTAINER "gaussian_noise authors <gaussian-noise@example.org>"
    CACHE STRING "Maintainer field of the Debian package and its changelog")
find_program(GZIP_PROGRAM gzip REQUIRED)

set(man_page_gz ${PROJECT_BINARY_DIR}/gaussian_noise.1.gz)
add_custom_command(OUTPUT ${man_page_gz}
  COMMAND ${GZIP_PROGRAM} -9nkf gaussian_noise.1
  DEPENDS ${man_page}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM)

set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${package_name} ${PROJECT_VERSION} ${GAUSSIAN_NOISE_MAINTAINER} > changelog
  COMMAND ${GZIP_PROGRAM} -9nf changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.sh
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM)

# CPack strips the binary; like dh_strip, also drop the compiler's notes.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
                  \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/gaussian_noise COMMAND_ERROR_IS_FATAL ANY)
endif()")

add_custom_target(package_documents ALL DEPENDS ${man_page_gz} ${changelog_gz})
install(FILES ${man_page_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${changelog_gz} DESTINATION ${package_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${package_doc_dir} RENAME copyright)

# The module's package, with its own copy of the changelog and licence.
if(NOT TARGET python_module)
  message(FATAL_ERROR "The Debian packages need the Python module: apt-get install pybind11-dev python3-dev python3-numpy")
endif()
set(python_package_name python3-${package_name})
set(python_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${python_package_name})
install(FILES ${changelog_gz} DESTINATION ${python_doc_dir} COMPONENT python)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${python_doc_dir} RENAME copyright COMPONENT python)
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
                  \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${GAUSSIAN_NOISE_PYTHON_MODULE_DIR}/$<TARGET_FILE_NAME:python_module>
                  COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT python)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool python)
set(CPACK_PACKAGE_NAME ${package_name})
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${package_name})
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME ${python_package_name})
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# The module is built for the system Python's version and uses numpy's arrays.
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${GAUSSIAN_NOISE_PYTHON_VERSION}~), python3 (<< ${GAUSSIAN_NOISE_NEXT_PYTHON_VERSION}), python3-numpy")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's summary is the first line of its description. CPack puts
# CPACK_PACKAGE_DESCRIPTION_SUMMARY before every package's description
# unless it is left at CPack's own default, as here.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(tool_summary "write tables of Gaussian pseudo-random noise to CSV files")
# Debian shows the long description as it is laid out here: lines of at most
# 80 characters, a lone "." for a blank line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "gaussian_noise writes a table of normally distributed pseudo-random"
  "samples with a given mean and variance to a comma-separated file: one row"
  "per run and one cell per sample, for test signals and noisy inputs to"
  "simulations."
  "."
  "Each sample is drawn by the Box-Muller transform from the C library's"
  "rand, seeded from the clock or from a given seed so that a table can be"
  "made again, and is written with six significant digits as printf's %g"
  "writes it, or with the shortest text that reads back to the same number.")
string(JOIN "\n" CPACK_DEBIAN_TOOL_DESCRIPTION "${tool_summary}" "${CPACK_PACKAGE_DESCRIPTION}")
string(JOIN "\n" CPACK_DEBIAN_PYTHON_DESCRIPTION
  "tables of Gaussian pseudo-random noise for Python 3"
  "The Python 3 module of gaussian_noise: its tables as numpy float32 arrays,"
  "or any rows of them, without a file, and its files byte for byte."
  "."
  "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${GAUSSIAN_NOISE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
