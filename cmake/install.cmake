# Installed layout (cmake --install BUILD --prefix P) and the Debian package (cpack -G DEB):
#   P/bin/zorhost, P/bin/relkit-report, P/bin/relkit-crashcheck
#   P/lib/zorhost/                 zorhost's start-up folder, found from the executable's folder
#     plugins/relkit.zdl64         the module
#     resource/                    the GUI script and the symbol header it includes
#     frameworks/orvane.framework/ the SDK headers -createdistribution scans
#   P/share/relkit/scenes/         the sample scenes
#   P/share/doc/relkit/            README and the guides
#   P/share/man/man1/              zorhost.1, relkit-report.1, relkit-crashcheck.1, made from the programs' --help
# bin and lib/zorhost are fixed: zorhost looks for ../lib/zorhost beside its own folder.
include(GNUInstallDirs)
set(RELKIT_INSTALL_STARTUP lib/zorhost)

# the release zorhost names itself with, for the man pages and the package
file(STRINGS ${CMAKE_SOURCE_DIR}/host/app/host_build.h release_line REGEX "#define ZORHOST_RELEASE ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" RELKIT_RELEASE "${release_line}")

install(TARGETS zorhost relkit-report relkit-crashcheck RUNTIME DESTINATION bin)
install(TARGETS relkit LIBRARY DESTINATION ${RELKIT_INSTALL_STARTUP}/plugins)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/startup/ DESTINATION ${RELKIT_INSTALL_STARTUP}
  PATTERN .clang-format EXCLUDE)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/frameworks/orvane.framework/
  DESTINATION ${RELKIT_INSTALL_STARTUP}/frameworks/orvane.framework FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/scenes DESTINATION ${CMAKE_INSTALL_DATADIR}/relkit)
file(GLOB RELKIT_GUIDES ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${RELKIT_GUIDES} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Man pages from the --help texts, compressed as Debian installs them. help2man is told the version so
# that it never asks the programs for one; without help2man the build goes on without man pages.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_dir ${CMAKE_BINARY_DIR}/man)
  set(zorhost_summary "host that loads zorhost modules and runs their tools")
  set(relkit-report_summary "judge a Renderator result folder against a comparison base")
  set(relkit-crashcheck_summary "check a folder of crash scenes to the end and group its crashes")
  set(man_pages)
  foreach(program zorhost relkit-report relkit-crashcheck)
    add_custom_command(OUTPUT ${man_dir}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --version-string=${RELKIT_RELEASE}
        --name=${${program}_summary} --output=${man_dir}/${program}.1 $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${man_dir}/${program}.1
      DEPENDS ${program}
      COMMENT "Man page of ${program}")
    list(APPEND man_pages ${man_dir}/${program}.1.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no man pages (scripts/install-deps.sh installs it)")
endif()

# cpack -G DEB in the build folder; the library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME relkit)
set(CPACK_PACKAGE_VERSION ${RELKIT_RELEASE})
set(CPACK_PACKAGE_CONTACT "relkit developers <relkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "zorhost with the relkit module, the Renderator and relkit-report")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
